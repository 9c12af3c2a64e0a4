#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "AsyncCom.h"
#include "PtyPeer.h"
#include "TestSupport.h"

namespace {

using testsupport::PtyPeer;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 7;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(peer.Map(kPort));
    }

    static AsyncCom MakePort(int number = kPort) { return AsyncCom(number, 9600, 0, 8, 0, 1); }

    testsupport::ScopedRegistryDir registry;
    PtyPeer peer;
};

TEST_F(SerialPortTest, PortZeroIsRefusedWithoutTouchingTheSystem) {
    // Even a device mapped as COM0 must stay untouched.
    ASSERT_TRUE(peer.Map(0));
    AsyncCom port(0, 9600, 0, 8, 0, 1);
    SetLastError(12345);
    EXPECT_EQ(port.Open(), -6);
    EXPECT_EQ(GetLastError(), 12345u);
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.GetHandle(), INVALID_HANDLE_VALUE);
    BYTE byte = 0;
    EXPECT_EQ(port.Read(&byte, 1, 10), -6);
    EXPECT_EQ(port.Write(&byte, 1, 10), -6);
    EXPECT_EQ(port.Close(), 0);
}

TEST_F(SerialPortTest, MissingPortFailsAndStaysOpenable) {
    AsyncCom port = MakePort(99);
    EXPECT_EQ(port.Open(), -static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.GetHandle(), INVALID_HANDLE_VALUE);
    // A failed open leaves the object as it was: once the port exists it opens.
    ASSERT_TRUE(peer.Map(99));
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.IsOpen(), 1);
}

TEST_F(SerialPortTest, ClosedObjectIsClosedForGoodButThePortIsFreeAtOnce) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    EXPECT_EQ(port.IsOpen(), 1);
    EXPECT_NE(port.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.Open(), -6);
    BYTE byte = 0;
    EXPECT_EQ(port.Read(&byte, 1, 10), -6);
    EXPECT_EQ(port.Write(&byte, 1, 10), -6);
    EXPECT_EQ(port.Close(), 0);

    AsyncCom next = MakePort();
    EXPECT_EQ(next.Open(), 0);
    EXPECT_EQ(next.IsOpen(), 1);
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    AsyncCom first = MakePort();
    ASSERT_EQ(first.Open(), 0);
    AsyncCom second = MakePort();
    const int refused = second.Open();
    EXPECT_TRUE(refused == -static_cast<int>(ERROR_ACCESS_DENIED) ||
                refused == -static_cast<int>(ERROR_SHARING_VIOLATION))
        << refused;
    EXPECT_EQ(second.IsOpen(), 0);
    // Opening an open object again keeps its claim instead of leaking it.
    EXPECT_EQ(first.Open(), 0);
    EXPECT_EQ(first.IsOpen(), 1);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(second.Open(), 0);
}

TEST_F(SerialPortTest, DestructorGivesThePortBack) {
    {
        AsyncCom port = MakePort();
        ASSERT_EQ(port.Open(), 0);
    }
    AsyncCom next = MakePort();
    EXPECT_EQ(next.Open(), 0);
}

DCB LineOf(AsyncCom& port) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    EXPECT_TRUE(GetCommState(port.GetHandle(), &dcb));
    return dcb;
}

TEST_F(SerialPortTest, OpenSetsTheLineFromTheObjectsSettings) {
    AsyncCom port(kPort, 19200, EVENPARITY, 7, TWOSTOPBITS, 1);
    ASSERT_EQ(port.Open(), 0);
    const DCB dcb = LineOf(port);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    termios tio{};
    ASSERT_TRUE(peer.LineSettings(tio));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);

    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port.GetHandle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 20u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 200u);
    // A read that had to wait leaves the time-outs as Open set them, and so does one that found
    // its bytes waiting.
    BYTE bytes[3] = {};
    EXPECT_EQ(port.Read(bytes, 1, 50), 0);
    ASSERT_TRUE(GetCommTimeouts(port.GetHandle(), &timeouts));
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    ASSERT_TRUE(peer.Send("abc"));
    Sleep(50);
    EXPECT_EQ(port.Read(bytes, 3, 1000), 3);
    ASSERT_TRUE(GetCommTimeouts(port.GetHandle(), &timeouts));
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
}

TEST_F(SerialPortTest, RefusedLineSettingsGiveThePortBack) {
    struct Line {
        DWORD baud;
        BYTE dataBits;
        BYTE stopBits;
    };
    // No such speed, no such word size, one and a half stop bits with eight data bits, no speed.
    const Line refused[] = {
        {14400, 8, ONESTOPBIT}, {9600, 9, ONESTOPBIT}, {9600, 8, ONE5STOPBITS}, {0, 8, ONESTOPBIT}};
    for (const Line& line : refused) {
        AsyncCom port(kPort, line.baud, NOPARITY, line.dataBits, line.stopBits, 1);
        EXPECT_EQ(port.Open(), -static_cast<int>(ERROR_INVALID_PARAMETER)) << line.baud;
        EXPECT_EQ(port.IsOpen(), 0);
        EXPECT_EQ(port.GetHandle(), INVALID_HANDLE_VALUE);
        BYTE byte = 0;
        EXPECT_EQ(port.Read(&byte, 1, 10), -6);
        // The handle was closed again: the port is free for the next object at once.
        AsyncCom next = MakePort();
        EXPECT_EQ(next.Open(), 0) << line.baud;
    }
}

TEST_F(SerialPortTest, ParityKindsAndUnknownKindMeansNone) {
    const BYTE kinds[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY, 9};
    const BYTE expected[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY, NOPARITY};
    for (size_t i = 0; i < sizeof kinds; ++i) {
        AsyncCom port(kPort, 9600, kinds[i], 8, ONESTOPBIT, 1);
        ASSERT_EQ(port.Open(), 0) << "parity kind " << int(kinds[i]);
        EXPECT_EQ(LineOf(port).Parity, expected[i]) << "parity kind " << int(kinds[i]);
        EXPECT_EQ(port.Close(), 0);
    }
}

TEST_F(SerialPortTest, HandshakeTurnsOnHardwareFlowControl) {
    AsyncCom port(kPort, 9600, NOPARITY, 8, ONESTOPBIT, 0);
    ASSERT_EQ(port.Open(), 0);
    const DCB dcb = LineOf(port);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 1u);
    termios tio{};
    ASSERT_TRUE(peer.LineSettings(tio));
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(port.Close(), 0);
}

TEST_F(SerialPortTest, WriteSendsTheBytesAsTheyAre) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    const std::string bytes("\x02Zgs\x03M\x00\xff\r\n", 10);
    EXPECT_EQ(port.Write(reinterpret_cast<const BYTE*>(bytes.data()), 10, 1000), 10);
    EXPECT_EQ(peer.Receive(10, 2000), bytes);
    EXPECT_EQ(port.Write(nullptr, 3, 1000), -static_cast<int>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(peer.Receive(1, 100), "");
}

TEST_F(SerialPortTest, ReadWithoutRoomReturnsAtOnce) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    ASSERT_TRUE(peer.Send("abc"));
    BYTE buffer[4] = {};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 0, 3000), 0);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_EQ(port.Read(nullptr, 4, 100), -static_cast<int>(ERROR_INVALID_PARAMETER));
    // Nothing was consumed.
    EXPECT_EQ(port.Read(buffer, 3, 1000), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");
}

TEST_F(SerialPortTest, ReadOfSilenceReturnsNothingAfterItsBudget) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    BYTE buffer[8] = {};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 200), 0);
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 190);
    EXPECT_LT(elapsed, 2000);
}

// The last poll of a wait may start with its budget already spent (a millisecond cut short by the
// tick): a byte that is there must still count, or a noisy line looks silent.
TEST_F(SerialPortTest, ReadWithItsBudgetSpentStillTakesOneByteThatIsThere) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    BYTE buffer[4] = {};
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 0), 0);
    ASSERT_TRUE(peer.Send("xy"));
    Sleep(50);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 0), 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 300), 1);
    EXPECT_EQ(buffer[0], 'y');
}

TEST_F(SerialPortTest, ReadWaitsForLateBytesAndStopsWhenFull) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    peer.Play({{50, "x"}, {100, "yz"}, {0, "rest"}});
    BYTE buffer[3] = {};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 3, 5000), 3);
    EXPECT_LT(MsSince(start), 4000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "xyz");
    peer.Join();
    BYTE rest[8] = {};
    EXPECT_EQ(port.Read(rest, sizeof rest, 300), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rest), 4), "rest");
}

TEST_F(SerialPortTest, ReadUntilLeavesTheBytesAfterTheTerminator) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    ASSERT_TRUE(
        peer.Send(std::string("ab\x03"
                              "cd\x03",
                              6)));
    BYTE buffer[16] = {};
    // Let every byte reach the input queue first: the terminator must stop the read, not a gap.
    Sleep(50);
    EXPECT_EQ(port.ReadUntil(buffer, sizeof buffer, 1000, 0x03), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "ab\x03");
    // The terminator applied to that call only.
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 200), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "cd\x03");
}

TEST_F(SerialPortTest, ReadUntilOnAClosedPortFails) {
    AsyncCom port = MakePort();
    BYTE buffer[4] = {};
    EXPECT_EQ(port.ReadUntil(buffer, sizeof buffer, 100, 0x03), -6);
}

TEST_F(SerialPortTest, ReadFailsWhenTheLineGoesAway) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    peer.Hangup();
    BYTE buffer[4] = {};
    const int result = port.Read(buffer, sizeof buffer, 300);
    EXPECT_LT(result, 0);
}

TEST_F(SerialPortTest, AbortStopsReadsAndWritesUntilTheNextOpen) {
    AsyncCom port = MakePort();
    ASSERT_EQ(port.Open(), 0);
    ASSERT_TRUE(peer.Send("abc"));
    Sleep(50);
    EXPECT_NE(port.Abort(), 0);
    BYTE buffer[4] = {};
    const int aborted = -static_cast<int>(ERROR_OPERATION_ABORTED);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 1000), aborted);
    EXPECT_EQ(port.ReadUntil(buffer, sizeof buffer, 1000, 0x03), aborted);
    EXPECT_EQ(port.Write(buffer, 1, 1000), aborted);
    EXPECT_EQ(peer.Receive(1, 100), "");
    // Still open, and a second Open of an open port keeps the abort.
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, 100), aborted);

    // A fresh object starts from a clear cancel event; Open clears one signalled before it.
    ASSERT_EQ(port.Close(), 0);
    AsyncCom next = MakePort();
    EXPECT_NE(next.Abort(), 0);
    ASSERT_EQ(next.Open(), 0);
    ASSERT_TRUE(peer.Send("xy"));
    EXPECT_EQ(next.Read(buffer, 2, 1000), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "xy");
    EXPECT_EQ(next.Write(buffer, 2, 1000), 2);
    EXPECT_EQ(peer.Receive(2, 1000), "xy");
}

}  // namespace
