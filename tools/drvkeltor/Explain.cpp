#include "Explain.h"

#include <cstdlib>
#include <cstring>

namespace drvkeltor {

namespace {

struct Text {
    long code;
    const char* english;
    const char* russian;
};

// Codes of the link, the command layer and the driver object.
const Text kDriverTexts[] = {
    {-8101, "the link was called with bad parameters",
     "канал связи вызван с неверными параметрами"},
    {-8102, "the printer's reply was damaged: check the cable and BaudRate",
     "ответ принтера искажён: проверьте кабель и BaudRate"},
    {-8103, "the printer's reply had a wrong length: check the cable and BaudRate",
     "ответ принтера неверной длины: проверьте кабель и BaudRate"},
    {-8104, "the printer did not answer in time: is it on and connected, at this BaudRate?",
     "принтер не ответил вовремя: включён ли он и подключён ли, верна ли BaudRate?"},
    {-8105, "the printer's reply failed its check: check the cable and BaudRate",
     "ответ принтера не прошёл проверку: проверьте кабель и BaudRate"},
    {-8106, "the request could not be sent: the port failed", "запрос не отправлен: ошибка порта"},
    {-8107, "the printer refused the request", "принтер отказал в приёме запроса"},
    {-8108, "the printer did not finish its reply in time", "принтер не закончил ответ вовремя"},
    {-8109, "the printer and the driver lost step; repeat the call",
     "принтер и драйвер рассинхронизировались; повторите вызов"},
    {-9001, "the driver could not start", "драйвер не смог запуститься"},
    {-9002, "a value is out of range, or the printer's reply does not fit",
     "значение вне допустимых пределов или ответ принтера не помещается"},
    {-9003, "no port is set: set ComPort and BaudRate, then call Connect",
     "порт не задан: задайте ComPort и BaudRate и вызовите Connect"},
    {-9004, "no link to the printer: call Connect; check the port, the cable and that it is on",
     "нет связи с принтером: вызовите Connect; проверьте порт, кабель и питание"},
    {-9005, "the printer's reply could not be read", "ответ принтера не удалось разобрать"},
    {-9006, "the driver's settings could not be read", "не удалось прочитать настройки драйвера"},
    {-9007, "the driver's settings could not be saved", "не удалось сохранить настройки драйвера"},
    {-9009, "the printer did not confirm the command: check its state before repeating it",
     "принтер не подтвердил выполнение команды: проверьте его состояние, прежде чем повторять"},
    {-9401, "the driver object could not start", "объект драйвера не смог запуститься"},
    {-9402, "the background work could not start, or its file could not be read",
     "фоновая операция не запустилась или её файл не читается"},
    {-9403, "the background work could not start", "фоновая операция не запустилась"},
};

// The printer's own errors, by error byte.
const Text kPrinterTexts[] = {
    {1, "commands in the wrong order (a receipt not open, or still open)",
     "команды в неверном порядке (чек не открыт или ещё открыт)"},
    {2, "the printer does not know the command", "принтер не знает такой команды"},
    {3, "the printer does not accept a value of the command",
     "принтер не принимает значение в команде"},
    {4, "a counter of the printer would overflow", "переполнился бы счётчик принтера"},
    {5, "not enough cash in the drawer", "в кассе недостаточно наличных"},
    {13, "not enough receipt tape to print the electronic journal",
     "не хватает чековой ленты для печати электронного журнала"},
    {14, "the day is longer than 24 hours: print the Z report (PrintZReport)",
     "смена длится больше 24 часов: снимите Z-отчёт (PrintZReport)"},
    {15, "wrong password", "неверный пароль"},
    {16, "the printing mechanism cannot be reached", "печатающий механизм недоступен"},
    {17, "the receipt tape has run out: load paper and repeat",
     "кончилась чековая лента: заправьте бумагу и повторите"},
    {18, "the control tape has run out: load paper and repeat",
     "кончилась контрольная лента: заправьте бумагу и повторите"},
    {19, "no slip form is inserted", "не вставлен подкладной бланк"},
    {20, "the printer is not ready", "принтер не готов"},
    {21, "the printer's memory failed", "ошибка памяти принтера"},
    {22, "the electronic journal failed", "ошибка электронного журнала"},
    {23, "the printer's clock failed: set DateTime", "ошибка часов принтера: установите DateTime"},
    {32, "no such tax", "такой налог не найден"},
    {33, "no such department", "такой отдел не найден"},
    {34, "no such cash income or outcome department", "отдел поступлений и выплат не найден"},
    {35, "no such currency", "такая валюта не найдена"},
    {36, "no such payment facility", "такое средство платежа не найдено"},
    {37, "no such fuel type", "такой вид топлива не найден"},
    {38, "no such Z report", "такой Z-отчёт не найден"},
    {39, "no such document", "такой документ не найден"},
    {48, "the link to the control unit failed", "нет связи с СКНО"},
    {49, "the control unit did not answer in time", "СКНО не ответило вовремя"},
    {50, "the control unit failed its authentication", "СКНО не прошло аутентификацию"},
};

const char* Pick(const Text& text, Language language) {
    return language == Language::Russian ? text.russian : text.english;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

Language UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return StartsWith(value, "ru") ? Language::Russian : Language::English;
        }
    }
    return Language::English;
}

std::string ExplainResult(long code, Language language) {
    const bool ru = language == Language::Russian;
    if (code == 0) {
        return ru ? "успешно" : "success";
    }
    if (code > 0) {
        return ru ? "успешно, с замечанием " + std::to_string(code)
                  : "success, with note " + std::to_string(code);
    }
    for (const Text& text : kDriverTexts) {
        if (text.code == code) {
            return Pick(text, language);
        }
    }
    if (code <= -9201 && code >= -9399) {
        const long error = -code - 9200;
        for (const Text& text : kPrinterTexts) {
            if (text.code == error) {
                return std::string(ru ? "ошибка принтера: " : "the printer says: ") +
                       Pick(text, language);
            }
        }
        return (ru ? "ошибка принтера " : "printer error ") + std::to_string(error);
    }
    if (code <= -8100 && code >= -8199) {
        return (ru ? "ошибка канала связи " : "link error ") + std::to_string(code);
    }
    if (code <= -9000 && code >= -9200) {
        return (ru ? "ошибка драйвера " : "driver error ") + std::to_string(code);
    }
    return (ru ? "системная ошибка " : "system error ") + std::to_string(-code);
}

std::string ExplainPortTrouble(PortTrouble trouble, unsigned port, const std::string& device,
                               unsigned long error, Language language) {
    const bool ru = language == Language::Russian;
    const std::string name =
        "COM" + std::to_string(port) + (device.empty() ? std::string() : " (" + device + ")");
    switch (trouble) {
        case PortTrouble::None:
            return ru ? name +
                            " открывается, но принтер на нём не ответил: проверьте питание, "
                            "кабель и BaudRate, или дайте Connect поискать (SuppressAutodetect=0)"
                      : name +
                            " opens, but the printer did not answer on it: check that it is on, "
                            "the cable and BaudRate, or let Connect search (SuppressAutodetect=0)";
        case PortTrouble::NoDevice:
            return ru ? name +
                            ": такого устройства нет; проверьте, что принтер подключён, и номер "
                            "порта"
                      : name +
                            ": no such device; check that the printer is plugged in, and the "
                            "port number";
        case PortTrouble::NoPermission:
            return ru ? name +
                            ": нет прав на порт. Добавьте пользователя в группу dialout "
                            "(sudo usermod -aG dialout $USER) и войдите в систему заново"
                      : name +
                            ": permission denied. Add the user to the dialout group "
                            "(sudo usermod -aG dialout $USER), then log in again";
        case PortTrouble::Busy:
            return ru ? name + " занят другой программой; закройте её и повторите"
                      : name + " is in use by another program; close it and try again";
        case PortTrouble::Other:
            break;
    }
    return ru ? name + " не открывается (системная ошибка " + std::to_string(error) + ")"
              : name + " cannot be opened (system error " + std::to_string(error) + ")";
}

}  // namespace drvkeltor
