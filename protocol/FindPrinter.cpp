// The search for a printer over the serial ports the system lists.
#include <cstdio>

#include "Brontal.h"

const char* const kSearchSpeeds[kSearchSpeedCount] = {"9600", "19200", "38400", "57600", "115200"};

namespace {

constexpr DWORD kDefaultSearchBaud = 9600;

bool IsLinkCode(int result) {
    return result <= -8100 && result >= -8199;
}

DWORD SpeedValue(int index) {
    DWORD value = 0;
    for (LPCSTR p = kSearchSpeeds[index]; *p != '\0'; ++p) {
        value = value * 10 + static_cast<DWORD>(*p - '0');
    }
    return value;
}

}  // namespace

int PortNumberOf(LPCSTR name) {
    if (!name) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        const char c = name[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != "com"[i]) {
            return 0;
        }
    }
    int number = 0;
    LPCSTR p = name + 3;
    if (*p < '0' || *p > '9') {
        return 0;
    }
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (number > 9999) {
            return 0;  // no such port
        }
        number = number * 10 + (*p - '0');
    }
    return *p == '\0' ? number : 0;
}

int CBrontal::FindPrinter(int* port, DWORD* baud, ProgressCallback progress, LPVOID context) {
    if (!port) {
        return -1;
    }
    int result = -1;
    if (*port != 0) {
        char speed[16];
        std::snprintf(speed, sizeof speed, "%u",
                      static_cast<unsigned>((baud && *baud) ? *baud : kDefaultSearchBaud));
        result = Attach(*port, speed);
        if (result == 0) {
            if (baud && *baud == 0) {
                *baud = kDefaultSearchBaud;
            }
            return 0;
        }
    }
    for (DWORD index = 0;; ++index) {
        LPSTR name = nullptr;
        if (EnumSerialPortName(index, &name) != ERROR_SUCCESS) {
            delete[] name;
            break;
        }
        const int number = PortNumberOf(name);
        if (number > 0) {
            *port = number;
            for (int speed = 0; speed < kSearchSpeedCount; ++speed) {
                if (progress) {
                    progress(context, name, SpeedValue(speed));
                }
                result = Attach(number, kSearchSpeeds[speed]);
                if (result == 0) {
                    if (baud) {
                        *baud = SpeedValue(speed);
                    }
                    delete[] name;
                    return 0;
                }
            }
        }
        delete[] name;
    }
    return IsLinkCode(result) ? kBrontalLinkFailed : result;
}
