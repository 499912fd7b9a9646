#include "windows/window_texts.h"

// The texts of the material settings dialog, the screenshot window and the about box.

namespace quilex::window_texts {

// material settings
const TextPair MaterialsCaption{u"Настройка материалов", u"Material Settings"}; // window caption
const TextPair MaterialsHeaderNumber{u"№", u"№"}; // header cell of column 0
const TextPair MaterialsHeaderName{u"Материал", u"Material"}; // header cell of column 1
const TextPair MaterialsHeaderSpeed{u"Скорость звука, м/с", u"Speed Sound, m/s"}; // header cell of column 2
const TextPair MaterialsLoadButton{u"Загрузить в прибор", u"Load into the device"}; // Button1
const TextPair DigitsOnlyMessage{u"Вводить только цифры!", u"Enter only the numbers"}; // warning text
const TextPair DigitsOnlyCaption{u"Предупреждение", u"Warning"}; // warning caption
const TextPair WarningCaption{u"Предупреждение", u"Warning"};
const TextPair UnloadedEditsQuestion{
    u"Изменённые названия и скорости звука не загружены в прибор. Загрузить их перед закрытием окна?",
    u"The changed names and speeds of sound have not been loaded into the gauge. Load them before closing the window?"};
const TextPair DiscardEditsButton{u"Закрыть без загрузки", u"Close without loading"};
const TextPair KeepEditingButton{u"Отмена", u"Cancel"};
// screenshot window
const TextPair ScreenshotCaption{u"Скриншот", u"Screenshot"}; // window caption
const TextPair ScreenshotUpdateButton{u"Обновить", u"Update"}; // Button1
const TextPair SaveToFileCheck{u"сохранять в *.bmp", u"save to *.bmp"}; // CheckBox1
const TextPair SaveToClipboardCheck{u"сохранять в буфер", u"save to clipboard"}; // CheckBox2
const TextPair PenColourLabel{u"цвет надписи", u"pen color"}; // Label1
const TextPair BackgroundColourLabel{u"цвет фона", u"background color"}; // Label2
const TextPair ScreenshotNotRead{u"Скриншот не считан", u"Screenshot not readed"}; // a download that ended without a picture
const TextPair ScreenshotNotReadCaption{u"Внимание", u"Warning"}; // its caption
// about box
const TextPair AboutCaption{u" О программе ", u" About "}; // window caption
const TextPair ProductNameText{u"Толщиномер ультразвуковой Quilex-A", u"Ultrasonic thickness gauge Quilex-A"}; // ProductName
const TextPair VersionPrefix{u"Версия ", u"Version "}; // version prefix
const TextPair DateJoiner{u" от ", u" of "}; // date joiner
const TextPair PhonesCaption{u"тел./факс. ", u"tel./fax"}; // Comments
const TextPair MultichannelNote{u" многоканальный ", u" multichannel "}; // Label2
const TextPair YearSuffix{u" г.", u" г."}; // year suffix (both languages)
const std::array<TextPair, 12> MonthNames{{
    TextPair{u" января ", u" january "},
    TextPair{u" февраля ", u" february "},
    TextPair{u" марта ", u" march "},
    TextPair{u" апреля ", u" apri "},
    TextPair{u" мая ", u" may "},
    TextPair{u" июня ", u" june "},
    TextPair{u" июля ", u" july "},
    TextPair{u" августа ", u" august "},
    TextPair{u" сентября ", u" september "},
    TextPair{u" октября ", u" october "},
    TextPair{u" ноября ", u" november "},
    TextPair{u" декабря ", u" december "},
}};
const char16_t* const EMailHint = u"Написать письмо";
const char16_t* const PhonesCaptionDesign = u"тел./факс.";
const char16_t* const MultichannelNoteDesign = u"(многоканальный)";
const std::array<const char*, 12> MonthAbbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const BuildDatePattern = "%3s %2s %4s";

// Our own additions: a picture that could not be written, and the hint of the web link.
const TextPair PictureNotSaved{u"Не удалось записать файл %1", u"Cannot write the file %1"};
const TextPair WebPageHint{u"Открыть сайт производителя прибора", u"Open the web page of the gauge's maker"};

} // namespace quilex::window_texts

namespace quilex::window_texts {

// The sixteen standard colours, then four extended ones.
const std::array<NamedColour, 20> ScreenColours{{
    {0x000000, {u"Чёрный", u"Black"}},
    {0x800000, {u"Тёмно-красный", u"Maroon"}},
    {0x008000, {u"Зелёный", u"Green"}},
    {0x808000, {u"Оливковый", u"Olive"}},
    {0x000080, {u"Тёмно-синий", u"Navy"}},
    {0x800080, {u"Фиолетовый", u"Purple"}},
    {0x008080, {u"Сине-зелёный", u"Teal"}},
    {0x808080, {u"Серый", u"Gray"}},
    {0xC0C0C0, {u"Серебристый", u"Silver"}},
    {0xFF0000, {u"Красный", u"Red"}},
    {0x00FF00, {u"Салатовый", u"Lime"}},
    {0xFFFF00, {u"Жёлтый", u"Yellow"}},
    {0x0000FF, {u"Синий", u"Blue"}},
    {0xFF00FF, {u"Пурпурный", u"Fuchsia"}},
    {0x00FFFF, {u"Голубой", u"Aqua"}},
    {0xFFFFFF, {u"Белый", u"White"}},
    {0xC0DCC0, {u"Светло-зелёный", u"Money green"}},
    {0xA6CAF0, {u"Небесный", u"Sky blue"}},
    {0xFFFBF0, {u"Кремовый", u"Cream"}},
    {0xA0A0A4, {u"Средне-серый", u"Medium gray"}},
}};

} // namespace quilex::window_texts
