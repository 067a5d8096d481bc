; A delivered demo as a real self-extracting archive: run with no arguments, it silently
; writes the demo it carries into its working folder, under the unpacked file's name.
;   makensis -DOUT=<archive> [-DPAYLOAD=<file> -DUNPACKED=<name>] demo_archive.nsi
; Without PAYLOAD it unpacks nothing, as a broken delivery would.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
SilentInstall silent
Name "Demo archive"
OutFile "${OUT}"

Section
!ifdef PAYLOAD
    System::Call 'kernel32::GetCurrentDirectoryW(i ${NSIS_MAX_STRLEN}, w .r0) i .r1'
    SetOutPath "$0"
    File "/oname=${UNPACKED}" "${PAYLOAD}"
!endif
SectionEnd
