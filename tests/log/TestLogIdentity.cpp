#include "LogIdentity.h"

// The test executables carry the logger too; their log would only appear under a marker folder.
const LogIdentity programLogIdentity{"/LogTests.txt", "***** LogTests Logs *****", 1};
