// The exchange trace: raw blocks, packet lines and link-error blocks of the X28 link.
#include <cstdio>
#include <mutex>

#include "LinkTrace.h"
#include "Settings.h"
#include "Trace.h"
#include "TraceFile.h"

const char kDefaultExchangeTraceFile[] = "tracexch.txt";

namespace {

constexpr char kDirectionSeparator[] =
    "/------------------------------------------------------------------------------/";
constexpr char kLinkErrorRule[] =
    "/!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!/";
constexpr BYTE kShownControlByte = 0xB7;  // a middle dot in Windows-1251
constexpr DWORD kDumpBytesPerLine = 16;
constexpr DWORD kDumpHexColumn = kDumpBytesPerLine * 3 - 1;  // "02 35 ... 22", 47 characters

// The direction state and the rendering buffer belong to whichever thread is tracing.
std::mutex g_exchangeLock;
int g_lastDirection = kLinkReceived;
char g_packetText[kPacketRenderingCapacity];

const char* Arrow(int direction) {
    return direction == kLinkSent ? ">>" : "<<";
}

// The file of this write, rotated first when it has grown too big. An empty "TracePath" cannot
// be measured, so the default file is never rotated.
const char* PrepareFile(char (&path)[kTracePathCapacity]) {
    CopyTracePath(path, kTracePathCapacity);
    if (TraceFileTooBig(path)) {
        RotateTraceFile(path);
    }
    return path[0] != '\0' ? path : kDefaultExchangeTraceFile;
}

void SeparateOnTurn(const char* file, int direction) {
    if (direction != g_lastDirection) {
        AppendLine(file, "%s", kDirectionSeparator);
        g_lastDirection = direction;
    }
}

int Direction(int direction) {
    return direction != kLinkReceived ? kLinkSent : kLinkReceived;
}

void Append(char* text, DWORD capacity, DWORD& length, const char* piece) {
    for (; *piece != '\0' && length + 1 < capacity; ++piece) {
        text[length++] = *piece;
    }
}

const char* ShownByName(BYTE byte) {
    switch (byte) {
        case 0x02:
            return "[STX";  // closed by the sequence character that follows
        case 0x03:
            return "[ETX]";
        case 0x15:
            return "[NAK]";
        case 0x16:
            return "[SYN]";
        case 0x1C:
            return "[FS]";
        case 0x1D:
            return "[GS]";
        default:
            return nullptr;
    }
}

// A raw block or a packet line under mask bit `bit`: the file is rotated first, bytes that are
// absent or none write nothing, and a turn of direction puts the separator before the block.
template <typename WriteBlock>
void TraceBlock(DWORD bit, const BYTE* bytes, DWORD count, int direction, WriteBlock writeBlock) {
    if ((ExtenderSettings.traceMask & bit) == 0) {
        return;
    }
    std::lock_guard<std::mutex> hold(g_exchangeLock);
    char path[kTracePathCapacity];
    const char* file = PrepareFile(path);
    if (!bytes || count == 0) {
        return;
    }
    direction = Direction(direction);
    SeparateOnTurn(file, direction);
    writeBlock(file, Arrow(direction));
}

}  // namespace

DWORD RenderPacket(const BYTE* bytes, DWORD count, LPSTR text, DWORD capacity) {
    if (!text || capacity == 0) {
        return 0;
    }
    DWORD length = 0;
    for (DWORD i = 0; bytes && i < count && length + 1 < capacity; ++i) {
        char piece[8] = {};
        if (count > 1 && i == count - 1) {
            std::snprintf(piece, sizeof piece, "%02X", static_cast<unsigned>(bytes[i]));
        } else if (i == 1) {
            std::snprintf(piece, sizeof piece, ":%02X]", static_cast<unsigned>(bytes[i]));
        } else if (const char* name = ShownByName(bytes[i])) {
            Append(text, capacity, length, name);
            continue;
        } else {
            piece[0] = static_cast<char>(bytes[i]);  // a zero byte adds nothing
        }
        Append(text, capacity, length, piece);
    }
    text[length] = '\0';
    return length;
}

void HexDump(LPCSTR fileName, const BYTE* bytes, DWORD count) {
    if (!bytes) {
        return;
    }
    for (DWORD offset = 0; offset < count; offset += kDumpBytesPerLine) {
        const DWORD inLine =
            count - offset < kDumpBytesPerLine ? count - offset : kDumpBytesPerLine;
        char hex[kDumpHexColumn + 1];
        char shown[kDumpBytesPerLine + 1];
        DWORD hexLength = 0;
        for (DWORD i = 0; i < inLine; ++i) {
            const BYTE byte = bytes[offset + i];
            std::snprintf(hex + hexLength, sizeof hex - hexLength, i == 0 ? "%02X" : " %02X",
                          static_cast<unsigned>(byte));
            hexLength += i == 0 ? 2 : 3;
            shown[i] = static_cast<char>(byte < 0x20 ? kShownControlByte : byte);
        }
        while (hexLength < kDumpHexColumn) {
            hex[hexLength++] = ' ';
        }
        hex[hexLength] = '\0';
        shown[inLine] = '\0';
        AppendLine(fileName, "       %08X %s %s", static_cast<unsigned>(offset), hex, shown);
    }
}

void TraceRawData(const BYTE* bytes, DWORD count, int direction) {
    TraceBlock(kRawDataTraceBit, bytes, count, direction, [&](const char* file, const char* arrow) {
        AppendStampedLine(file, "%s raw data [%u byte]:", arrow, static_cast<unsigned>(count));
        HexDump(file, bytes, count);
    });
}

void TracePacket(const BYTE* bytes, DWORD count, int direction) {
    TraceBlock(kPacketTraceBit, bytes, count, direction, [&](const char* file, const char* arrow) {
        RenderPacket(bytes, count, g_packetText, kPacketRenderingCapacity);
        AppendStampedLine(file, "%s%s", arrow, g_packetText);
    });
}

void TraceLinkError(int code) {
    std::lock_guard<std::mutex> hold(g_exchangeLock);
    char path[kTracePathCapacity];
    const char* file = PrepareFile(path);
    AppendLine(file, "%s", kLinkErrorRule);
    AppendLine(file, "Err: %d(%#0x)", code, static_cast<unsigned>(code));
    AppendLine(file, "%s", kLinkErrorRule);
}

void InstallLinkTraceHooks() {
    static const LinkTraceHooks kHooks = {TraceRawData, TracePacket, TraceLinkError};
    SetLinkTraceHooks(&kHooks);
}
