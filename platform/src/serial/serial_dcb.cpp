// DCB line settings to termios and back, and BuildCommDCBA's two text forms.
#include "serial_device.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include <strings.h>

namespace brontal::serial {

namespace {

struct Speed {
    DWORD baud;
    speed_t code;
};

// Rates the terminal interface can name; others (14400, 128000, ...) are refused.
constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600},
};

bool SpeedCode(DWORD baud, speed_t* code) {
    for (const Speed& s : kSpeeds) {
        if (s.baud == baud) {
            *code = s.code;
            return true;
        }
    }
    return false;
}

DWORD BaudOf(speed_t code) {
    for (const Speed& s : kSpeeds) {
        if (s.code == code) {
            return s.baud;
        }
    }
    return 0;
}

}  // namespace

void MakeRaw(termios* t) {
    t->c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                         IUCLC | IXANY | IMAXBEL | IUTF8);
    t->c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t->c_lflag &=
        ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | TOSTOP);
    t->c_cflag |= CREAD | CLOCAL;
    t->c_cc[VMIN] = 0;
    t->c_cc[VTIME] = 0;
}

DWORD ApplyDcb(const DCB& dcb, termios* t) {
    speed_t speed = B0;
    if (!SpeedCode(dcb.BaudRate, &speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
        dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) {
        return ERROR_INVALID_PARAMETER;
    }
    // A UART sends one and a half stop bits only with five data bits, and two only with more:
    // the same combinations Windows accepts.
    const bool fiveBits = dcb.ByteSize == 5;
    if ((dcb.StopBits == ONE5STOPBITS && !fiveBits) || (dcb.StopBits == TWOSTOPBITS && fiveBits)) {
        return ERROR_INVALID_PARAMETER;
    }
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) {
        return ERROR_INVALID_PARAMETER;
    }
    cfsetispeed(t, speed);
    cfsetospeed(t, speed);

    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t->c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case ODDPARITY:
            t->c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            t->c_cflag |= PARENB;
            break;
        case MARKPARITY:
            t->c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            t->c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (dcb.StopBits != ONESTOPBIT) {
        t->c_cflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        t->c_cflag |= CRTSCTS;
    }
    t->c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF);
    if (dcb.fParity && dcb.Parity != NOPARITY) {
        t->c_iflag |= INPCK;
    }
    if (dcb.fOutX) {
        t->c_iflag |= IXON;
    }
    if (dcb.fInX) {
        t->c_iflag |= IXOFF;
    }
    t->c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t->c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    MakeRaw(t);
    return ERROR_SUCCESS;
}

void ReadDcb(const termios& t, DCB* dcb) {
    dcb->DCBlength = sizeof(DCB);
    dcb->BaudRate = BaudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            dcb->ByteSize = 5;
            break;
        case CS6:
            dcb->ByteSize = 6;
            break;
        case CS7:
            dcb->ByteSize = 7;
            break;
        default:
            dcb->ByteSize = 8;
            break;
    }
    if (!(t.c_cflag & PARENB)) {
        dcb->Parity = NOPARITY;
    } else if (t.c_cflag & CMSPAR) {
        dcb->Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
        dcb->Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
    if (!(t.c_cflag & CSTOPB)) {
        dcb->StopBits = ONESTOPBIT;
    } else {
        dcb->StopBits = dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    }
    dcb->fBinary = 1;
    dcb->fParity = (t.c_iflag & INPCK) ? 1 : 0;
    const bool hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    if (!hardwareFlow) {
        dcb->fOutxCtsFlow = 0;
        if (dcb->fRtsControl == RTS_CONTROL_HANDSHAKE) {
            dcb->fRtsControl = RTS_CONTROL_ENABLE;
        }
    } else if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE) {
        dcb->fOutxCtsFlow = 1;
    }
    dcb->fOutX = (t.c_iflag & IXON) ? 1 : 0;
    dcb->fInX = (t.c_iflag & IXOFF) ? 1 : 0;
    dcb->XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb->XoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

}  // namespace brontal::serial

namespace {

// A cursor over the definition text, case-insensitive as Windows reads it.
struct Parser {
    const char* p;

    void SkipSpaces() {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
    }
    bool Number(DWORD* value) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            return false;
        }
        unsigned long long n = 0;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            n = n * 10 + static_cast<unsigned>(*p++ - '0');
            if (n > 0xFFFFFFFFull) {
                return false;
            }
        }
        *value = static_cast<DWORD>(n);
        return true;
    }
    bool Keyword(const char* word) {
        std::size_t n = std::strlen(word);
        if (strncasecmp(p, word, n) != 0) {
            return false;
        }
        p += n;
        return true;
    }
    bool Comma() {
        SkipSpaces();
        if (*p != ',') {
            return false;
        }
        ++p;
        SkipSpaces();
        return true;
    }
};

// The MODE command's short speeds ("96" for 9600).
DWORD ExpandBaud(DWORD baud) {
    switch (baud) {
        case 11:
        case 30:
        case 60:
            return baud * 10;
        case 12:
        case 24:
        case 48:
        case 96:
            return baud * 100;
        case 19:
            return 19200;
        default:
            return baud;
    }
}

bool ParseParity(Parser& in, BYTE* parity) {
    switch (std::toupper(static_cast<unsigned char>(*in.p))) {
        case 'N':
            *parity = NOPARITY;
            break;
        case 'O':
            *parity = ODDPARITY;
            break;
        case 'E':
            *parity = EVENPARITY;
            break;
        case 'M':
            *parity = MARKPARITY;
            break;
        case 'S':
            *parity = SPACEPARITY;
            break;
        default:
            return false;
    }
    ++in.p;
    return true;
}

bool ParseByteSize(Parser& in, BYTE* size) {
    DWORD n = 0;
    if (!in.Number(&n) || n < 5 || n > 8) {
        return false;
    }
    *size = static_cast<BYTE>(n);
    return true;
}

bool ParseStopBits(Parser& in, BYTE* stop) {
    if (in.Keyword("1.5")) {
        *stop = ONE5STOPBITS;
    } else if (in.Keyword("1")) {
        *stop = ONESTOPBIT;
    } else if (in.Keyword("2")) {
        *stop = TWOSTOPBITS;
    } else {
        return false;
    }
    return true;
}

// "on" or "off" (and for dtr/rts the handshake words), after the '='.
bool ParseSwitch(Parser& in, bool* on) {
    if (in.Keyword("on")) {
        *on = true;
    } else if (in.Keyword("off")) {
        *on = false;
    } else {
        return false;
    }
    return true;
}

// "9600,n,8,1" with an optional fourth field: x (XON/XOFF) or p (hardware handshake). Windows NT
// sets the flow-control members from that field or from its absence.
bool ParseOldForm(Parser& in, DCB* dcb) {
    DWORD baud = 0;
    if (!in.Number(&baud)) {
        return false;
    }
    dcb->BaudRate = ExpandBaud(baud);
    if (!in.Comma() || !ParseParity(in, &dcb->Parity) || !in.Comma() ||
        !ParseByteSize(in, &dcb->ByteSize) || !in.Comma() || !ParseStopBits(in, &dcb->StopBits)) {
        return false;
    }
    char flow = 0;
    if (in.Comma()) {
        flow = static_cast<char>(std::toupper(static_cast<unsigned char>(*in.p)));
        if (flow == 0) {
            return false;
        }
        ++in.p;
    }
    in.SkipSpaces();
    if (*in.p != 0) {
        return false;
    }
    bool software = flow == 'X';
    bool hardware = flow == 'P';
    if (flow != 0 && !software && !hardware) {
        return false;
    }
    dcb->fInX = software;
    dcb->fOutX = software;
    dcb->fOutxCtsFlow = hardware;
    dcb->fOutxDsrFlow = hardware;
    dcb->fDtrControl = hardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb->fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    return true;
}

// "baud=9600 parity=N data=8 stop=1" and the other keys of the MODE command.
bool ParseNewForm(Parser& in, DCB* dcb) {
    bool stopGiven = false;
    for (in.SkipSpaces(); *in.p != 0; in.SkipSpaces()) {
        bool on = false;
        if (in.Keyword("baud=")) {
            DWORD baud = 0;
            if (!in.Number(&baud)) {
                return false;
            }
            dcb->BaudRate = ExpandBaud(baud);
        } else if (in.Keyword("parity=")) {
            if (!ParseParity(in, &dcb->Parity)) {
                return false;
            }
        } else if (in.Keyword("data=")) {
            if (!ParseByteSize(in, &dcb->ByteSize)) {
                return false;
            }
        } else if (in.Keyword("stop=")) {
            if (!ParseStopBits(in, &dcb->StopBits)) {
                return false;
            }
            stopGiven = true;
        } else if (in.Keyword("to=")) {
            if (!ParseSwitch(in, &on)) {  // time-outs belong to SetCommTimeouts
                return false;
            }
        } else if (in.Keyword("xon=")) {
            if (!ParseSwitch(in, &on)) {
                return false;
            }
            dcb->fInX = on;
            dcb->fOutX = on;
        } else if (in.Keyword("odsr=")) {
            if (!ParseSwitch(in, &on)) {
                return false;
            }
            dcb->fOutxDsrFlow = on;
        } else if (in.Keyword("octs=")) {
            if (!ParseSwitch(in, &on)) {
                return false;
            }
            dcb->fOutxCtsFlow = on;
        } else if (in.Keyword("idsr=")) {
            if (!ParseSwitch(in, &on)) {
                return false;
            }
            dcb->fDsrSensitivity = on;
        } else if (in.Keyword("dtr=")) {
            if (in.Keyword("hs")) {
                dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
            } else if (ParseSwitch(in, &on)) {
                dcb->fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
            } else {
                return false;
            }
        } else if (in.Keyword("rts=")) {
            if (in.Keyword("hs")) {
                dcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
            } else if (in.Keyword("tg")) {
                dcb->fRtsControl = RTS_CONTROL_TOGGLE;
            } else if (ParseSwitch(in, &on)) {
                dcb->fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
            } else {
                return false;
            }
        } else {
            return false;
        }
        if (*in.p != 0 && *in.p != ' ' && *in.p != '\t') {
            return false;
        }
    }
    if (!stopGiven) {
        dcb->StopBits = dcb->BaudRate == 110 ? TWOSTOPBITS : ONESTOPBIT;
    }
    return true;
}

}  // namespace

WINBASEAPI BOOL WINAPI BuildCommDCBA(LPCSTR lpDef, LPDCB lpDCB) {
    if (!lpDef || !lpDCB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Work on a copy so that a bad text leaves the caller's record as it was.
    DCB dcb = *lpDCB;
    Parser in{lpDef};
    in.SkipSpaces();
    // An optional "COMn:" names the port the text is meant for.
    if (strncasecmp(in.p, "COM", 3) == 0) {
        Parser port{in.p + 3};
        DWORD n = 0;
        if (port.Number(&n) && *port.p == ':') {
            in.p = port.p + 1;
            in.SkipSpaces();
        }
    }
    const bool ok = std::strchr(in.p, '=') ? ParseNewForm(in, &dcb) : ParseOldForm(in, &dcb);
    if (!ok) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    dcb.DCBlength = sizeof(DCB);
    dcb.fBinary = 1;
    *lpDCB = dcb;
    return TRUE;
}
