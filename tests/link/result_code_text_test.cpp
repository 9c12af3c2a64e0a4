#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ResultCodeText.h"
#include "TestSupport.h"

namespace {

using testsupport::Cp1251;

std::string TextOf(int code, DWORD capacity = 256) {
    std::string buffer(capacity + 8, '#');  // guard bytes show any write past the capacity
    const DWORD length = FormatResultCodeText(code, buffer.data(), capacity);
    EXPECT_EQ(buffer.substr(capacity), std::string(8, '#')) << "wrote past capacity, code " << code;
    const std::string text(buffer.c_str());
    EXPECT_EQ(length, text.size()) << "code " << code;
    return text;
}

struct Expected {
    int code;
    const char* utf8;
};

TEST(ResultCodeText, EveryCatalogueTextIsExact) {
    const Expected catalogue[] = {
        {-8101, "Драйвер X28: ошибка параметров вызова"},
        {-8102, "Драйвер X28: ошибка пакета"},
        {-8103, "Драйвер X28: ошибка размера пакета ответа"},
        {-8104, "Драйвер X28: таймаут ответа"},
        {-8105, "Драйвер X28: ошибка контрольной суммы пакета"},
        {-8106, "Драйвер X28: ошибка посылки пакета"},
        {-8107, "Драйвер X28: отказ пакета"},
        {-8108, "Драйвер X28: таймаут пакета"},
        {-8109, "Драйвер X28: рассинхронизация пакета"},
        {-9001, "Драйвер: ошибка инициализации"},
        {-9002, "Драйвер: ошибка параметров вызова функции"},
        {-9003, "Драйвер: не задан COM-порт"},
        {-9004, "Драйвер: нет связи с ФР"},
        {-9005, "Драйвер: ошибка обмена с ФР"},
        {-9006, "Драйвер: ошибка считаывания настроек"},
        {-9007, "Драйвер: ошибка сохранения настроек"},
        {-9201, "ФБ: ошибка очередности вызова команд"},
        {-9202, "ФБ: неверная команда"},
        {-9203, "ФБ: неверный параметр при вызове команды"},
        {-9204, "ФБ: переполнение счетчика"},
        {-9205, "ФБ: недостаночно наличных в кассе"},
        {-9213, "ФБ: недостаточно чековой ленты для печати электронного журнала"},
        {-9214, "ФБ: смена превысила 24 часа"},
        {-9215, "ФБ: неверный пароль"},
        {-9216, "ФБ: принтер недоступен"},
        {-9217, "ФБ: закончилась чековая лента"},
        {-9218, "ФБ: закончилась контрольная лента"},
        {-9219, "ФБ: отсутсвует подкладной бланк"},
        {-9220, "ФБ: принтер не готов"},
        {-9221, "ФБ: ошибка EPROM памяти"},
        {-9222, "ФБ: ошибка электронного журнала"},
        {-9223, "ФБ: ошибка часов"},
        {-9232, "ФБ: налог не найден"},
        {-9233, "ФБ: отдел не найден"},
        {-9234, "ФБ: отдел поступлений/выплат не найден"},
        {-9235, "ФБ: код валюты не найден"},
        {-9236, "ФБ: средство платежа не найдено"},
        {-9237, "ФБ: тип горючего не найден"},
        {-9238, "ФБ: Z-отчет не найден"},
        {-9239, "ФБ: документ не найден"},
        {-9248, "ФБ: ошибка связи с СКНО"},
        {-9249, "ФБ: таймаут связи с СКНО"},
        {-9250, "ФБ: ошибка аутентификации в СКНО"},
    };
    for (const Expected& entry : catalogue) {
        EXPECT_EQ(TextOf(entry.code), Cp1251(entry.utf8)) << "code " << entry.code;
    }
}

TEST(ResultCodeText, UndocumentedCodesShowTheirNumber) {
    EXPECT_EQ(TextOf(-8110), Cp1251("Драйвер X28: недокументированная ошибка: 110(0X6E)"));
    EXPECT_EQ(TextOf(-8100), Cp1251("Драйвер X28: недокументированная ошибка: 100(0X64)"));
    EXPECT_EQ(TextOf(-8199), Cp1251("Драйвер X28: недокументированная ошибка: 199(0XC7)"));
    EXPECT_EQ(TextOf(-9008), Cp1251("Драйвер: недокументированная ошибка: 008(0X8)"));
    EXPECT_EQ(TextOf(-9000), Cp1251("Драйвер: недокументированная ошибка: 000(000)"));
    EXPECT_EQ(TextOf(-9200), Cp1251("Драйвер: недокументированная ошибка: 200(0XC8)"));
    EXPECT_EQ(TextOf(-9206), Cp1251("ФБ: недокументированная ошибка: 06(0X6)"));
    EXPECT_EQ(TextOf(-9251), Cp1251("ФБ: недокументированная ошибка: 51(0X33)"));
    // The device error is shown modulo 100.
    EXPECT_EQ(TextOf(-9300), Cp1251("ФБ: недокументированная ошибка: 00(00)"));
    EXPECT_EQ(TextOf(-9313), Cp1251("ФБ: недокументированная ошибка: 13(0XD)"));
    EXPECT_EQ(TextOf(-9999), Cp1251("ФБ: недокументированная ошибка: 99(0X63)"));
}

TEST(ResultCodeText, CodesOutsideTheGroupsGiveNothing) {
    for (int code : {0, 1, 5000, -1, -100, -7000, -8099, -8200, -8999, -10000, -10201, -9401 - 1000,
                     static_cast<int>(0x80000000)}) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        const DWORD length = FormatResultCodeText(code, buffer, sizeof buffer);
        EXPECT_EQ(length, 0u) << "code " << code;
        if (code >= 0) {
            EXPECT_EQ(buffer[0], '#') << "non-negative code " << code << " touched the buffer";
        } else {
            EXPECT_EQ(buffer[0], '\0') << "code " << code;
        }
    }
}

TEST(ResultCodeText, MissingBufferOrNoCapacityLeavesEverythingAlone) {
    EXPECT_EQ(FormatResultCodeText(-9004, nullptr, 100), 0u);
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(FormatResultCodeText(-9004, buffer, 0), 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(ResultCodeText, SuffixNeedsRoomBeyondTheText) {
    const std::string base = Cp1251("Драйвер X28: недокументированная ошибка");
    ASSERT_EQ(base.size(), 39u);
    // 39 bytes and the terminator fill 40: no number.
    EXPECT_EQ(TextOf(-8110, 40), base);
    // 12 bytes left is not more than 12: still no number.
    EXPECT_EQ(TextOf(-8110, 51), base);
    // 13 bytes left: the 11-byte suffix fits.
    EXPECT_EQ(TextOf(-8110, 52), base + ": 110(0X6E)");

    const std::string device = Cp1251("ФБ: недокументированная ошибка");
    const DWORD deviceCapacity = static_cast<DWORD>(device.size()) + 10;
    EXPECT_EQ(TextOf(-9206, deviceCapacity), device);
    EXPECT_EQ(TextOf(-9206, deviceCapacity + 1), device + ": 06(0X6)");
    // The longest device suffix needs 10 bytes and its terminator.
    EXPECT_EQ(TextOf(-9299, deviceCapacity + 1), device + ": 99(0X63)");

    const std::string driver = Cp1251("Драйвер: недокументированная ошибка");
    EXPECT_EQ(TextOf(-9008, static_cast<DWORD>(driver.size()) + 12), driver);
    EXPECT_EQ(TextOf(-9008, static_cast<DWORD>(driver.size()) + 13), driver + ": 008(0X8)");
}

TEST(ResultCodeText, TextsAreCutToTheCapacity) {
    const std::string full = Cp1251("Драйвер: нет связи с ФР");
    EXPECT_EQ(TextOf(-9004, 10), full.substr(0, 9));
    EXPECT_EQ(TextOf(-9004, 1), "");
    EXPECT_EQ(TextOf(-9004, static_cast<DWORD>(full.size())), full.substr(0, full.size() - 1));
    EXPECT_EQ(TextOf(-9004, static_cast<DWORD>(full.size()) + 1), full);
    EXPECT_EQ(TextOf(-8110, 20), Cp1251("Драйвер X28: недокументированная ошибка").substr(0, 19));
}

TEST(ResultCodeText, AnEarlierTextInTheBufferIsReplaced) {
    char buffer[128];
    FormatResultCodeText(-9213, buffer, sizeof buffer);
    const DWORD length = FormatResultCodeText(-9202, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, length), Cp1251("ФБ: неверная команда"));
    EXPECT_EQ(std::strlen(buffer), length);
}

}  // namespace
