#include "ResultCodeText.h"

#include <cstdio>
#include <cstring>

namespace {

struct CodeText {
    int key;
    const char* text;
};

// X28 packet layer, by result code.
constexpr CodeText kX28Texts[] = {
    {-8101, "Драйвер X28: ошибка параметров вызова"},
    {-8102, "Драйвер X28: ошибка пакета"},
    {-8103, "Драйвер X28: ошибка размера пакета ответа"},
    {-8104, "Драйвер X28: таймаут ответа"},
    {-8105, "Драйвер X28: ошибка контрольной суммы пакета"},
    {-8106, "Драйвер X28: ошибка посылки пакета"},
    {-8107, "Драйвер X28: отказ пакета"},
    {-8108, "Драйвер X28: таймаут пакета"},
    {-8109, "Драйвер X28: рассинхронизация пакета"},
};

// Command layer and settings, by result code.
constexpr CodeText kDriverTexts[] = {
    {-9001, "Драйвер: ошибка инициализации"},
    {-9002, "Драйвер: ошибка параметров вызова функции"},
    {-9003, "Драйвер: не задан COM-порт"},
    {-9004, "Драйвер: нет связи с ФР"},
    {-9005, "Драйвер: ошибка обмена с ФР"},
    {-9006, "Драйвер: ошибка считаывания настроек"},
    {-9007, "Драйвер: ошибка сохранения настроек"},
    {-9009, "Драйвер: выполнение команды не подтверждено ФР"},
};

// The printer's own errors, by the error byte of its reply.
constexpr CodeText kDeviceTexts[] = {
    {1, "ФБ: ошибка очередности вызова команд"},
    {2, "ФБ: неверная команда"},
    {3, "ФБ: неверный параметр при вызове команды"},
    {4, "ФБ: переполнение счетчика"},
    {5, "ФБ: недостаночно наличных в кассе"},
    {13, "ФБ: недостаточно чековой ленты для печати электронного журнала"},
    {14, "ФБ: смена превысила 24 часа"},
    {15, "ФБ: неверный пароль"},
    {16, "ФБ: принтер недоступен"},
    {17, "ФБ: закончилась чековая лента"},
    {18, "ФБ: закончилась контрольная лента"},
    {19, "ФБ: отсутсвует подкладной бланк"},
    {20, "ФБ: принтер не готов"},
    {21, "ФБ: ошибка EPROM памяти"},
    {22, "ФБ: ошибка электронного журнала"},
    {23, "ФБ: ошибка часов"},
    {32, "ФБ: налог не найден"},
    {33, "ФБ: отдел не найден"},
    {34, "ФБ: отдел поступлений/выплат не найден"},
    {35, "ФБ: код валюты не найден"},
    {36, "ФБ: средство платежа не найдено"},
    {37, "ФБ: тип горючего не найден"},
    {38, "ФБ: Z-отчет не найден"},
    {39, "ФБ: документ не найден"},
    {48, "ФБ: ошибка связи с СКНО"},
    {49, "ФБ: таймаут связи с СКНО"},
    {50, "ФБ: ошибка аутентификации в СКНО"},
};

constexpr const char* kDriverUndocumented = "Драйвер: недокументированная ошибка";
constexpr const char* kDeviceUndocumented = "ФБ: недокументированная ошибка";
constexpr const char* kX28Undocumented = "Драйвер X28: недокументированная ошибка";

template <size_t N>
const char* Find(const CodeText (&table)[N], long long key) {
    for (const CodeText& entry : table) {
        if (entry.key == key) {
            return entry.text;
        }
    }
    return nullptr;
}

// Appends `text` after the `length` bytes already in the buffer, cut to fit; the new length.
DWORD Append(LPSTR buffer, DWORD capacity, DWORD length, const char* text) {
    const size_t room = capacity - 1 - length;
    size_t count = std::strlen(text);
    if (count > room) {
        count = room;
    }
    std::memcpy(buffer + length, text, count);
    length += static_cast<DWORD>(count);
    buffer[length] = '\0';
    return length;
}

// An undocumented code still shows its number when there is room for it.
DWORD AppendUndocumented(LPSTR buffer, DWORD capacity, const char* text, const char* format,
                         unsigned number, DWORD minimumRoom) {
    DWORD length = Append(buffer, capacity, 0, text);
    if (capacity - length > minimumRoom) {
        char suffix[32];  // ": 999(0X3E7)" at most
        std::snprintf(suffix, sizeof(suffix), format, number, number);
        length = Append(buffer, capacity, length, suffix);
    }
    return length;
}

}  // namespace

DWORD FormatResultCodeText(int code, LPSTR buffer, DWORD capacity) {
    if (code >= 0 || !buffer || capacity == 0) {
        return 0;
    }
    buffer[0] = '\0';

    // Widened so that the most negative code has a magnitude too.
    const long long magnitude = -static_cast<long long>(code);
    const long long thousands = (magnitude / 1000) * 1000;
    const unsigned rest = static_cast<unsigned>(magnitude % 1000);

    if (thousands == 9000 && rest <= 200) {
        if (const char* text = Find(kDriverTexts, code)) {
            return Append(buffer, capacity, 0, text);
        }
        return AppendUndocumented(buffer, capacity, kDriverUndocumented, ": %03u(%#03X)", rest, 12);
    }
    if (thousands == 9000) {
        const unsigned deviceError = rest - 200;
        if (const char* text = Find(kDeviceTexts, deviceError)) {
            return Append(buffer, capacity, 0, text);
        }
        return AppendUndocumented(buffer, capacity, kDeviceUndocumented, ": %02u(%#02X)",
                                  deviceError % 100, 10);
    }
    if (thousands + (rest / 100) * 100 == 8100) {
        if (const char* text = Find(kX28Texts, code)) {
            return Append(buffer, capacity, 0, text);
        }
        return AppendUndocumented(buffer, capacity, kX28Undocumented, ": %03u(%#03X)", rest, 12);
    }
    return 0;
}
