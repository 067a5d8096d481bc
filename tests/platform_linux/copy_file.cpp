// Copies its first argument over its second as the platform does, for a test to kill midway.
#include "qvx/platform/PosixFiles.h"

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    return qvx::posix::copyReplacing(argv[1], argv[2]).ok() ? 0 : 1;
}
