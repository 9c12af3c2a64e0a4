// Serial ports over a real pseudo-terminal: the test holds the master side as the far end.
#include <windows.h>

#include <gtest/gtest.h>

#include "PtyPeer.h"
#include "Registry.h"
#include "TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

HANDLE OpenPort(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

void SetTimeouts(HANDLE h, DWORD interval, DWORD multiplier, DWORD constant) {
    COMMTIMEOUTS t{interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(h, &t));
}

// Waits until the port's input queue holds `count` bytes; the pseudo-terminal hands bytes over
// on a kernel worker, a moment after the peer's write returns.
bool WaitForInput(HANDLE h, DWORD count) {
    for (int i = 0; i < 500; ++i) {
        COMSTAT status{};
        DWORD errors = 1;
        if (!ClearCommError(h, &errors, &status) || errors != 0) {
            return false;
        }
        if (status.cbInQue >= count) {
            return status.cbInQue == count;
        }
        Sleep(10);
    }
    return false;
}

class SerialTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.ok()); }
    void TearDown() override {
        if (port != INVALID_HANDLE_VALUE) {
            CloseHandle(port);
        }
    }
    void OpenDirect() {
        port = OpenPort(peer.SlavePath());
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    }

    // The line settings the port gave the slave side.
    termios Settings() const {
        termios settings{};
        EXPECT_TRUE(peer.LineSettings(settings));
        return settings;
    }

    testsupport::PtyPeer peer;
    HANDLE port = INVALID_HANDLE_VALUE;
};

TEST_F(SerialTest, OpensExclusivelyAndAgainAfterClose) {
    OpenDirect();
    DWORD flags = 1;
    EXPECT_TRUE(GetHandleInformation(port, &flags));
    SetLastError(0);
    EXPECT_EQ(OpenPort(peer.SlavePath()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseHandle(port));
    port = OpenPort(peer.SlavePath());
    EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
}

TEST_F(SerialTest, OpensComNamesThroughThePortMap) {
    testsupport::ScopedRegistryDir registry;
    ASSERT_TRUE(peer.Map(7));

    for (const char* name : {"\\\\.\\COM7", "COM7", "\\\\.\\com7", "Com7:"}) {
        HANDLE h = OpenPort(name);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name << " " << GetLastError();
        ASSERT_TRUE(peer.Send("k"));
        SetTimeouts(h, MAXDWORD, MAXDWORD, 2000);
        char byte = 0;
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(h, &byte, 1, &got, nullptr));
        EXPECT_EQ(got, 1u);
        EXPECT_EQ(byte, 'k');
        EXPECT_TRUE(CloseHandle(h));
    }
    for (const char* name : {"\\\\.\\COM8", "COM99", "\\\\.\\COM0"}) {
        SetLastError(0);
        EXPECT_EQ(OpenPort(name), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << name;
    }
}

TEST_F(SerialTest, LineIsRawAndRestoredOnClose) {
    const termios before = Settings();
    OpenDirect();
    termios t = Settings();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    DCB dcb{};
    ASSERT_TRUE(BuildCommDCBA("19200,e,7,2", &dcb));
    ASSERT_TRUE(SetCommState(port, &dcb));
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
    termios after = Settings();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
}

TEST_F(SerialTest, LineSettingsRoundTripAndReachTermios) {
    OpenDirect();
    struct Case {
        const char* text;
        DWORD baud;
        BYTE parity;
        BYTE size;
        BYTE stop;
        speed_t speed;
        tcflag_t parityFlags;
    };
    for (const Case& c :
         {Case{"9600,n,8,1", 9600, NOPARITY, 8, ONESTOPBIT, B9600, 0},
          Case{"115200,o,8,1", 115200, ODDPARITY, 8, ONESTOPBIT, B115200, PARENB | PARODD},
          Case{"230400,e,7,2", 230400, EVENPARITY, 7, TWOSTOPBITS, B230400, PARENB},
          Case{"110,m,8,2", 110, MARKPARITY, 8, TWOSTOPBITS, B110, PARENB | PARODD | CMSPAR},
          Case{"57600,s,6,1", 57600, SPACEPARITY, 6, ONESTOPBIT, B57600, PARENB | CMSPAR},
          Case{"1200,n,5,1.5", 1200, NOPARITY, 5, ONE5STOPBITS, B1200, 0}}) {
        DCB dcb{};
        ASSERT_TRUE(BuildCommDCBA(c.text, &dcb)) << c.text;
        ASSERT_TRUE(SetCommState(port, &dcb)) << c.text << " " << GetLastError();
        DCB back{};
        ASSERT_TRUE(GetCommState(port, &back));
        EXPECT_EQ(back.DCBlength, sizeof(DCB));
        EXPECT_EQ(back.BaudRate, c.baud) << c.text;
        EXPECT_EQ(back.Parity, c.parity) << c.text;
        EXPECT_EQ(back.ByteSize, c.size) << c.text;
        EXPECT_EQ(back.StopBits, c.stop) << c.text;
        EXPECT_EQ(back.fBinary, 1u);
        // A pseudo-terminal keeps CS8 and drops PARENB itself; the rest reaches its termios.
        termios t = Settings();
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.text;
        EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parityFlags & ~PARENB) << c.text;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stop != ONESTOPBIT) << c.text;
    }
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.fOutxCtsFlow = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_NE(Settings().c_cflag & CRTSCTS, 0u);
    DCB back{};
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(back.fOutxCtsFlow, 1u);
}

TEST_F(SerialTest, ImpossibleLineSettingsAreRefusedAndChangeNothing) {
    OpenDirect();
    DCB good{};
    ASSERT_TRUE(BuildCommDCBA("19200,n,8,1", &good));
    ASSERT_TRUE(SetCommState(port, &good));
    const termios before = Settings();
    auto refused = [&](void (*change)(DCB&)) {
        DCB dcb = good;
        change(dcb);
        SetLastError(0);
        bool ok = SetCommState(port, &dcb) == FALSE && GetLastError() == ERROR_INVALID_PARAMETER;
        return ok;
    };
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 14400; }));
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = 3; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));  // needs five data bits
    EXPECT_TRUE(refused([](DCB& d) {
        d.ByteSize = 5;
        d.StopBits = TWOSTOPBITS;
    }));
    EXPECT_TRUE(refused([](DCB& d) {
        d.fOutX = 1;
        d.XonChar = d.XoffChar = 0x11;
    }));
    termios after = Settings();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(cfgetospeed(&after), B19200);
    EXPECT_FALSE(SetCommState(port, nullptr));
}

TEST_F(SerialTest, BytesWrittenArriveExactly) {
    OpenDirect();
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 20, 200};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    bytes += "\r\n\n\r\x03\x11\x13";  // nothing is translated or eaten on the way
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    EXPECT_TRUE(FlushFileBuffers(port));
    EXPECT_EQ(peer.Receive(bytes.size(), 2000), bytes);

    // And the same the other way round.
    ASSERT_TRUE(peer.Send(bytes));
    ASSERT_TRUE(WaitForInput(port, static_cast<DWORD>(bytes.size())));
    std::string in(bytes.size(), '\0');
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, in.data(), static_cast<DWORD>(in.size()), &got, nullptr));
    EXPECT_EQ(got, bytes.size());
    EXPECT_EQ(in, bytes);
}

TEST_F(SerialTest, HugeTimeoutMultipliersMeanALongBudgetNotAnOverflow) {
    OpenDirect();
    // MAXDWORD ms a byte over 4096 bytes is more than the clock can count: the budget is simply
    // very long, and a transfer that completes returns at once.
    COMMTIMEOUTS t{0, MAXDWORD, 0, MAXDWORD, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
    const std::string bytes(4096, 'h');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    EXPECT_EQ(peer.Receive(bytes.size(), 2000), bytes);

    ASSERT_TRUE(peer.Send(bytes));
    std::string in(bytes.size(), '\0');
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, in.data(), static_cast<DWORD>(in.size()), &got, nullptr));
    EXPECT_EQ(got, bytes.size());
    EXPECT_EQ(in, bytes);
}

TEST_F(SerialTest, WriteStopsWhenItsBudgetIsSpent) {
    OpenDirect();
    // Nobody reads the master side: the pseudo-terminal's buffer fills and the write must give up
    // after its budget, reporting success with fewer bytes, as Windows does.
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 100};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
    std::string bytes(1 << 20, 'x');
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, bytes.size());
    // A line nobody reads does not keep FlushFileBuffers forever.
    EXPECT_TRUE(FlushFileBuffers(port));
}

TEST_F(SerialTest, ReadTimeoutModes) {
    OpenDirect();
    char buffer[8] = {};
    DWORD got = 9;

    // Immediate: returns at once with what is there, here nothing.
    SetTimeouts(port, MAXDWORD, 0, 0);
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(peer.Send("ab"));
    ASSERT_TRUE(WaitForInput(port, 2));
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "ab");

    // Wait for the first byte: nothing comes, so it waits out the constant...
    SetTimeouts(port, MAXDWORD, MAXDWORD, 60);
    start = GetTickCount64();
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_GE(GetTickCount64() - start, 59u);
    // ...and returns with a byte that comes while it waits.
    HANDLE sender = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            Sleep(30);
            (void)static_cast<testsupport::PtyPeer*>(p)->Send("z");
            return 0;
        },
        &peer, 0, nullptr);
    SetTimeouts(port, MAXDWORD, MAXDWORD, 5000);
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "z");
    WaitForSingleObject(sender, INFINITE);
    CloseHandle(sender);

    // Total budget: multiplier * bytes + constant, returning what came by then.
    SetTimeouts(port, 0, 10, 20);
    ASSERT_TRUE(peer.Send("xyz"));
    ASSERT_TRUE(WaitForInput(port, 3));
    start = GetTickCount64();
    EXPECT_TRUE(ReadFile(port, buffer, 5, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "xyz");
    EXPECT_GE(GetTickCount64() - start, 69u);  // 10 * 5 + 20

    // A full buffer returns at once whatever the budget.
    SetTimeouts(port, 0, 0, 60000);
    ASSERT_TRUE(peer.Send("1234"));
    start = GetTickCount64();
    EXPECT_TRUE(ReadFile(port, buffer, 4, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "1234");
    EXPECT_LT(GetTickCount64() - start, 30000u);

    // The interval limit ends a read once bytes stop coming.
    SetTimeouts(port, 50, 0, 0);
    ASSERT_TRUE(peer.Send("q"));
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "q");

    COMMTIMEOUTS invalid{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(port, &invalid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    COMMTIMEOUTS stored{};
    EXPECT_TRUE(GetCommTimeouts(port, &stored));
    EXPECT_EQ(stored.ReadIntervalTimeout, 50u);
}

TEST_F(SerialTest, ByteReadsOfABurstTakeItInOrderAndLeaveTheRestQueued) {
    OpenDirect();
    peer.Send("0123456789");
    ASSERT_TRUE(WaitForInput(port, 10));
    char byte = 0;
    DWORD got = 0;
    // The first read moves the burst into the input queue; the next ones take from it, under
    // whatever time-outs are set, one byte each.
    SetTimeouts(port, MAXDWORD, MAXDWORD, 1000);
    ASSERT_TRUE(ReadFile(port, &byte, 1, &got, nullptr));
    EXPECT_EQ(std::string(&byte, got), "0");
    SetTimeouts(port, 0, 0, 60000);
    ASSERT_TRUE(ReadFile(port, &byte, 1, &got, nullptr));
    EXPECT_EQ(std::string(&byte, got), "1");
    SetTimeouts(port, MAXDWORD, 0, 0);
    ASSERT_TRUE(ReadFile(port, &byte, 1, &got, nullptr));
    EXPECT_EQ(std::string(&byte, got), "2");
    COMSTAT status{};
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(port, &errors, &status));
    EXPECT_EQ(status.cbInQue, 7u);
    // A read larger than what is queued takes the queue and what the line holds besides.
    peer.Send("ab");
    ASSERT_TRUE(WaitForInput(port, 9));
    char rest[16] = {};
    ASSERT_TRUE(ReadFile(port, rest, sizeof rest, &got, nullptr));
    EXPECT_EQ(std::string(rest, got), "3456789ab");
    ASSERT_TRUE(ReadFile(port, rest, sizeof rest, &got, nullptr));
    EXPECT_EQ(got, 0u);
}

// A byte-at-a-time reader would be woken for every byte; a read of many bytes sleeps until
// they can have crossed the line and is woken a few times.
TEST_F(SerialTest, ReadOfBytesComingAtTheLinesPaceWakesTheReaderAFewTimes) {
    OpenDirect();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(BuildCommDCBA("9600,n,8,1", &dcb));
    ASSERT_TRUE(SetCommState(port, &dcb));
    SetTimeouts(port, 50, 0, 10000);
    constexpr int kBytes = 120;
    std::vector<testsupport::PtyPeer::Step> steps;
    std::string sent;
    for (int i = 0; i < kBytes; ++i) {
        const char byte = static_cast<char>('A' + i % 26);
        sent += byte;
        steps.push_back({1, std::string(1, byte)});  // a little slower than 9600 baud
    }
    peer.Play(steps);
    rusage before{};
    getrusage(RUSAGE_THREAD, &before);
    char buffer[kBytes] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, buffer, kBytes, &got, nullptr));
    rusage after{};
    getrusage(RUSAGE_THREAD, &after);
    peer.Join();
    EXPECT_EQ(std::string(buffer, got), sent);
    EXPECT_LT(after.ru_nvcsw - before.ru_nvcsw, kBytes / 4);
}

TEST_F(SerialTest, PurgeDiscardsInputAndQueueShowsIt) {
    OpenDirect();
    EXPECT_TRUE(SetupComm(port, 1024, 544));
    ASSERT_TRUE(peer.Send("stale"));
    ASSERT_TRUE(WaitForInput(port, 5));
    EXPECT_TRUE(PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR));
    COMSTAT status{};
    DWORD errors = 7;
    EXPECT_TRUE(ClearCommError(port, &errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 0u);
    SetTimeouts(port, MAXDWORD, 0, 0);
    char buffer[8];
    DWORD got = 9;
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    SetLastError(0);
    EXPECT_FALSE(PurgeComm(port, 0x10));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SerialTest, HangupFailsTheReadInsteadOfSpinning) {
    OpenDirect();
    SetTimeouts(port, MAXDWORD, MAXDWORD, 5000);
    peer.Hangup();
    char buffer[4];
    DWORD got = 9;
    ULONGLONG start = GetTickCount64();
    SetLastError(0);
    EXPECT_FALSE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(GetTickCount64() - start, 4000u);
    EXPECT_FALSE(WriteFile(port, "x", 1, &got, nullptr));
    EXPECT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
}

TEST(SerialNames, MissingDevicesAndWrongHandles) {
    SetLastError(0);
    EXPECT_EQ(OpenPort("/dev/pts/999999"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DCB dcb{};
    SetLastError(0);
    EXPECT_FALSE(GetCommState(event, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(PurgeComm(event, PURGE_RXCLEAR));
    CloseHandle(event);
    // A character device that is no terminal opens as a plain file.
    HANDLE null = OpenPort("/dev/null");
    ASSERT_NE(null, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(GetCommState(null, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(null);
}

TEST(SerialBuildCommDcb, ShortForm) {
    DCB dcb{};
    dcb.fOutxCtsFlow = 1;
    dcb.EofChar = 0x1A;
    ASSERT_TRUE(BuildCommDCBA("9600,n,8,1", &dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    // No flow field: flow control off, DTR and RTS on; other members untouched.
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.EofChar, 0x1A);

    ASSERT_TRUE(BuildCommDCBA("COM3: 96,E,7,1.5,x", &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    ASSERT_TRUE(BuildCommDCBA("115200,s,8,2,p", &dcb));
    EXPECT_EQ(dcb.Parity, SPACEPARITY);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    ASSERT_TRUE(BuildCommDCBA("4800,m,8,1", &dcb));
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    ASSERT_TRUE(BuildCommDCBA("4800,o,8,1", &dcb));
    EXPECT_EQ(dcb.Parity, ODDPARITY);
}

TEST(SerialBuildCommDcb, KeywordForm) {
    DCB dcb{};
    ASSERT_TRUE(BuildCommDCBA("baud=19200 parity=E data=7 stop=2 dtr=off rts=hs xon=on", &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fBinary, 1u);
    // Without stop bits 110 baud takes two, every other speed one.
    ASSERT_TRUE(BuildCommDCBA("baud=110 parity=n data=8", &dcb));
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    ASSERT_TRUE(BuildCommDCBA("baud=9600 parity=n data=8", &dcb));
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
}

TEST(SerialBuildCommDcb, BadTextsLeaveTheRecordAlone) {
    for (const char* text :
         {"", "9600", "9600,n,8", "9600,x,8,1", "9600,n,9,1", "9600,n,4,1", "9600,n,8,3",
          "9600,n,8,1,q", "9600,n,8,1 junk", "n,9600,8,1", "baud=9600 parity=Q",
          "baud=9600 speed=1", "baud=", "99999999999,n,8,1", "baud=9600parity=n"}) {
        DCB dcb{};
        dcb.BaudRate = 4242;
        SetLastError(0);
        EXPECT_FALSE(BuildCommDCBA(text, &dcb)) << text;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << text;
        EXPECT_EQ(dcb.BaudRate, 4242u) << text;
    }
    EXPECT_FALSE(BuildCommDCBA(nullptr, nullptr));
}

}  // namespace
