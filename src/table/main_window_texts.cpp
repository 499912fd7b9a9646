#include "table/main_window_texts.h"

namespace quilex {

// Some of these read oddly ("Таблтца", and "Сreate Project" whose first letter is the Cyrillic
// capital Es). They are kept exactly as the program has always shown them: users and their
// saved tables know them in this form.
const std::array<TextPair, MainTextCount> MainWindowTexts{{
    {u"Толщиномер ультразвуковой Quilex-A", u"Ultrasonic thickness gauge Quilex-A"}, // 1 WindowCaption
    {u"Файл", u"File"}, // 2 FileMenu
    {u"Открыть файл", u"Open file"}, // 3 OpenFile
    {u"Сохранить в Excel", u"Save in Excel"}, // 4 SaveInExcel
    {u"Создать Проект", u"Сreate Project"}, // 5 CreateProject
    {u"Открыть Проект", u"Open Project"}, // 6 OpenProject
    {u"Печать", u"Print"}, // 7 Print
    {u"Выход", u"Exit"}, // 8 Exit
    {u"Правка", u"Edit"}, // 9 EditMenu
    {u"Копировать таблицу в буфер", u"Copy table to clipboard"}, // 10 CopyTable
    {u"Копировать выделенное в буфер", u"Copy select to clipboard"}, // 11 CopySelection
    {u"Помощь", u"Help"}, // 12 HelpMenu
    {u"Справка", u"Information"}, // 13 HelpContents
    {u"О приборе", u"About"}, // 14 About
    {u"Считать архив", u"Read archive"}, // 15 ReadArchive
    {u"Настройка материалов", u"Material settings"}, // 16 MaterialSettings
    {u"Материал", u"Material"}, // 17 HeaderMaterial
    {u"Скорость звука, м/с", u"Speed Sound, m/s"}, // 18 HeaderSoundSpeed
    {u"Толщина, мм", u"Thickness, mm"}, // 19 HeaderThickness
    {u"Номер", u"Number"}, // 20 HeaderNumber
    {u"Серия", u"Series"}, // 21 HeaderSeries
    {u"Дата", u"Date"}, // 22 HeaderDate
    {u"Время", u"Time"}, // 23 HeaderTime
    {u"Архив измерений ", u"Archive of measurements "}, // 24 ArchiveTitle
    {u"Архив не считан!", u"Archive not read!"}, // 25 ArchiveNotRead
    {u"Ошибка", u"Error"}, // 26 ErrorCaption
    {u"Экспорт данных - Ошибка !!!", u"Export of the data - Error !!!"}, // 27 ExportError
    {u"Невозможно открыть Microsoft Excel!", u"It is impossible to open Microsoft Excel!"}, // 28 CannotOpenExcel
    {u"Возможно Excel не установлен на компьютере", u"Probably Excel it is not established on the computer"}, // 29 ExcelNotInstalled
    {u"Таблтца пуста", u"The table is empty"}, // 30 TableEmpty
}};

const char16_t* const LanguageMenuCaption = u"Language(Язык)";
const char16_t* const RussianMenuCaption = u"Русский";
const char16_t* const EnglishMenuCaption = u"English";
const char16_t* const ScreenshotMenuCaption = u"Скриншот с прибора";
const char16_t* const NumberHeaderText = u"№";
const char16_t* const ApplicationTitle = u"Quilex-A";

const TextPair& mainWindowText(MainText id)
{
    const auto n = static_cast<std::size_t>(id);
    return MainWindowTexts[n < MainTextCount ? n : 0];
}

QString Text(MainText id)
{
    return Text(mainWindowText(id));
}

const TextPair CommandFailedText{u"Команда не выполнена: %1", u"The command could not be carried out: %1"};
const TextPair ProgramStoppedText{u"Программа остановлена из-за внутренней ошибки.",
                                  u"The program stopped because of an internal error."};
const TextPair CommandOutOfMemoryText{u"Команда не выполнена: не хватило памяти.",
                                      u"The command could not be carried out: there was not enough memory."};
const TextPair SavedStatusText{u"Сохранено: %1", u"Saved: %1"};
const TextPair OpenedStatusText{u"Открыто: %1", u"Opened: %1"};
const TextPair CancelledStatusText{u"Отменено", u"Cancelled"};
const TextPair WrittenToGaugeStatusText{u"Записано в прибор", u"Written to the gauge"};

namespace {
// The three forms a Russian noun takes after a number (1 запись, 2 записи, 5 записей); English
// has two, the first for 1 only.
const TextPair RecordsReadOne{u"%1 запись прочитана", u"%1 record read"};
const TextPair RecordsReadFew{u"%1 записи прочитаны", u"%1 records read"};
const TextPair RecordsReadMany{u"%1 записей прочитано", u"%1 records read"};
} // namespace

QString recordsReadStatusText(int count, std::uint8_t languageIndex)
{
    const int lastTwo = count % 100;
    const int last = count % 10;
    const TextPair* form = &RecordsReadMany;
    if (languageIndex == LanguageEnglish)
        form = count == 1 ? &RecordsReadOne : &RecordsReadMany;
    else if (last == 1 && lastTwo != 11)
        form = &RecordsReadOne;
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        form = &RecordsReadFew;
    return Text(*form, languageIndex).arg(count);
}

const TextPair StatisticsMenuText{u"Статистика", u"Statistics"};
const TextPair ChartMenuText{u"График", u"Chart"};
const TextPair UnsavedTableQuestionText{
    u"Таблица измерений не сохранена в проекте. Сохранить её перед тем, как продолжить?",
    u"The table of measurements has not been saved in a project. Save it before going on?"};

} // namespace quilex
