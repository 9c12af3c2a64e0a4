// The version resource of libBrontalOcx.so; BrontalOcx.dll has its own in windows/BrontalOcx.rc.
#include <windows.h>

#include <versionresource.h>

BRONTAL_VERSION_RESOURCE(BRONTAL_VERSION_MAJOR, BRONTAL_VERSION_MINOR, BRONTAL_VERSION_PATCH, 0,
                         BRONTAL_VERSION_MAJOR, BRONTAL_VERSION_MINOR, BRONTAL_VERSION_PATCH, 0,
                         VFT_DLL, 0x0419, 1251,
                         "CompanyName\0"
                         "Orvane\0"
                         "FileDescription\0"
                         "BrontalOcx\0"
                         "FileVersion\0" BRONTAL_VERSION_TEXT
                         "\0"
                         "InternalName\0"
                         "BrontalOcx\0"
                         "ProductName\0"
                         "BrontalOcx\0"
                         "ProductVersion\0" BRONTAL_VERSION_TEXT "\0");
