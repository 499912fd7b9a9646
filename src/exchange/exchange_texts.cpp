#include "exchange/exchange_texts.h"

namespace quilex::exchange_texts {

const TextPair ConnectionTitle{u"Подключение", u"Connection"};
const TextPair VersionReadTitle{u"Чтение версии", u"Version Read"};
const TextPair ParametersReadTitle{u"Чтение параметров", u"Parameters Read"};
const TextPair DataReadTitle{u"Чтение данных", u"Data Read"};
const TextPair ArchiveReadLabel{u"Чтение архива", u"Data Archive"};
const TextPair MaterialsReadLabel{u"Чтение Материалов", u"Materials Read"};
const TextPair MaterialsWriteLabel{u"Запись Материалов", u"Materials Write"};
const TextPair SoundSpeedReadLabel{u"Чтение Скорости звука", u"Speed Sound Read"};
const TextPair SoundSpeedWriteLabel{u"Запись Скорости звука", u"Speed Sound Write"};
const TextPair ReadyLabel{u"Готово", u"Ready"};
const TextPair CheckConnectionLabel{u"Проверьте подключение", u"Check Connection"};
const TextPair LinkErrorLabel{u"Ошибка связи", u"Link Error"};
const TextPair NoDataLabel{u"Данных нет", u"No Data"};
const TextPair CancelButton{u"Отмена", u"Cancel"};
const TextPair ErrorCaption{u"Ошибка", u"Error"};
const TextPair CrcErrorMessage{u"Ошибка контрольной суммы", u"CRC16 Error"};
const TextPair OutOfMemoryMessage{u"Ошибка выделения памяти", u"Memory allocation error"};
const TextPair MaterialWriteIncompleteMessage{
    u"Связь с прибором прервалась во время записи: таблица материалов в приборе может быть неполной. "
    u"Загрузите таблицу в прибор ещё раз.",
    u"The link to the gauge failed during the write: the gauge's material table may be incomplete. "
    u"Load the table into the gauge again."};

const TextPair BadSoundSpeedMessage{
    u"Строка %1: скорость звука должна быть целым числом от -2147483648 до 2147483647",
    u"Row %1: the speed of sound must be a whole number from -2147483648 to 2147483647"};

const TextPair* modeTitle(int mode)
{
    switch (mode) {
    case 0: return &ConnectionTitle;
    case 1: return &VersionReadTitle;
    case 2: return &ParametersReadTitle;
    case 3:
    case 4:
    case 6: return &DataReadTitle;
    default: return nullptr;
    }
}

const TextPair* modeLabel(int mode)
{
    switch (mode) {
    case 3: return &ArchiveReadLabel;
    case 4: return &MaterialsReadLabel;
    case 5: return &MaterialsWriteLabel;
    case 6: return &SoundSpeedReadLabel;
    case 7: return &SoundSpeedWriteLabel;
    case 10: return &ReadyLabel;
    default: return nullptr;
    }
}

const TextPair* linkStatusLabel(LinkStatus status)
{
    switch (status) {
    // Without the libusb library and without a driver device there is no gauge to be found
    // either: the user is asked to check the connection as when none is on the bus.
    case LinkStatus::NoLibrary:
    case LinkStatus::NoDevice: return &CheckConnectionLabel;
    case LinkStatus::LinkError: return &LinkErrorLabel;
    case LinkStatus::NoData: return &NoDataLabel;
    default: return nullptr;
    }
}

} // namespace quilex::exchange_texts
