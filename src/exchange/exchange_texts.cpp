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

const TextPair GaugeNotReachedMessage{u"Связь с прибором не установлена.", u"The gauge was not reached."};
const TextPair DriverFolderMissingReason{u"Папки устройств драйвера прибора %1 нет: драйвер прибора не установлен.",
                                         u"The gauge driver's device folder %1 does not exist: the driver is not installed."};
const TextPair DriverNoDevicesReason{u"В папке устройств драйвера %1 нет ни одного прибора.",
                                     u"The gauge driver's device folder %1 holds no gauge."};
const TextPair DriverSilentReason{u"Прибор драйвера %1 не отвечает.", u"The driver's gauge %1 does not answer."};
const TextPair NoLibUsbReason{u"Библиотека libusb %1 не загружается (%2): установите пакет libusb-0.1-4.",
                              u"The libusb library %1 cannot be loaded (%2): install the package libusb-0.1-4."};
const TextPair NotOnBusReason{u"Прибора (%1) нет на шине USB: проверьте кабель и включите прибор.",
                              u"No gauge (%1) is on the USB bus: check the cable and switch the gauge on."};
const TextPair NoPermissionReason{
    u"Прибор (%1) подключён, но открыть его нельзя (%2): у пользователя нет прав. Проверьте, что правило udev "
    u"60-quilex.rules лежит в /usr/lib/udev/rules.d/, и подключите прибор заново.",
    u"A gauge (%1) is connected but cannot be opened (%2): this user may not open it. See that the udev rule "
    u"60-quilex.rules is in /usr/lib/udev/rules.d/ and plug the gauge in again."};
const TextPair BusyReason{u"Прибор (%1) подключён, но его держит другая программа (%2): закройте её.",
                          u"A gauge (%1) is connected but another program holds it (%2): close that program."};
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
