// Help files opened as the program opens them, for the fuzz targets: the readers built with
// coverage, chmlib instrumented, and the file's check run in process (see ChmInProcess.cpp).
#pragma once

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The file each input is written to before it is opened.
const std::string &scratchPath();

// Opens the input as the program opens a file: false where the program would refuse it.
bool openAsTheProgramDoes(ChmFile &chm, const uint8_t *data, size_t size);
