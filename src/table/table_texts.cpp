#include "table/table_texts.h"

namespace quilex::table_texts {

const TextPair ProjectNotOpened{u"Проект «%1» не открыт: %2. Таблица не изменена.",
                                u"The project \"%1\" was not opened: %2. The table is unchanged."};
const TextPair ProjectNotSaved{u"Проект «%1» не сохранён: %2. Прежний файл с этим именем не изменён.",
                               u"The project \"%1\" was not saved: %2. Any earlier file of that name is left as it was."};
const TextPair NotAProjectFile{u"это не файл проекта, или он повреждён", u"it is not a project file, or it is damaged"};
const TextPair FileEndsAtCell{u"файл обрывается на ячейке (%1, %2)", u"the file ends early, at cell (%1, %2)"};
const TextPair CellNegativeLength{u"ячейка (%1, %2) имеет отрицательную длину %3", u"cell (%1, %2) has a negative length %3"};
const TextPair CellRunsPastEnd{u"текст ячейки (%1, %2) длиной %3 байт выходит за конец файла",
                               u"the text of cell (%1, %2), %3 bytes long, runs past the end of the file"};
const TextPair FileTooLarge{u"файл длиной %1 байт слишком велик", u"the file is too large (%1 bytes)"};
const TextPair NoWindows1251{u"в этой сборке Qt нет кодировки Windows-1251", u"this Qt build has no Windows-1251 conversion"};
const TextPair NotARegularFile{u"это не обычный файл", u"it is not a regular file"};
const TextPair CannotOpenFile{u"файл не открывается (%1)", u"the file cannot be opened (%1)"};
const TextPair ReadingFailed{u"ошибка чтения (%1)", u"reading failed (%1)"};
const TextPair CannotCreateFile{u"файл не создаётся (%1)", u"the file cannot be created (%1)"};
const TextPair WritingFailed{u"ошибка записи (%1)", u"writing failed (%1)"};
const TextPair TableTooLarge{u"таблица слишком велика для файла проекта", u"the table is too large for a project file"};

const TextPair LimitsDamaged{u"пределы толщины в конце файла повреждены: %1",
                             u"the thickness limits at the end of the file are damaged: %1"};
const TextPair LimitsNotRead{
    u"Пределы толщины в проекте «%1» не прочитаны (%2). Таблица открыта без них; файл не изменён.",
    u"The thickness limits in the project \"%1\" could not be read (%2). The table was opened without them; "
    u"the file is left as it was."};
const TextPair LimitsRecordEndsEarly{u"запись обрывается", u"the record ends early"};
const TextPair LimitsUnknownVersion{u"неизвестная версия %1", u"unknown version %1"};
const TextPair LimitsLengthMismatch{u"длина %1 не совпадает с концом файла", u"the length %1 does not match the end of the file"};
const TextPair LimitsEntriesDoNotFit{u"%1 записей не помещаются в длину %2", u"%1 entries do not fit a length of %2"};
const TextPair LimitsWrongChecksum{u"контрольная сумма не сходится", u"the checksum is wrong"};
const TextPair LimitsEntryMakesNoSense{u"запись %1 не имеет смысла", u"entry %1 makes no sense"};

const TextPair TitleDamaged{u"шапка протокола в конце файла повреждена: %1",
                            u"the report's title block at the end of the file is damaged: %1"};
const TextPair TitleUnknownVersion{u"неизвестная версия", u"unknown version"};
const TextPair TitleLengthMismatch{u"тексты не совпадают с длиной записи", u"the texts do not match the record's length"};
const TextPair TitleNotRead{
    u"Шапка протокола в проекте «%1» не прочитана (%2). Таблица открыта без неё; файл не изменён.",
    u"The report's title block in the project \"%1\" could not be read (%2). The table was opened without it; the "
    u"file is left as it was."};

const TextPair TextNotRead{u"Не удалось прочитать \"%1\": %2", u"Cannot read \"%1\": %2"};
const TextPair TextNotWritten{u"Не удалось записать \"%1\": %2", u"Cannot write \"%1\": %2"};
const TextPair QuoteNotClosed{u"не закрыты кавычки поля", u"a quoted field is not closed"};
const TextPair NeitherProjectNorText{u"«%1» — не файл проекта и не таблица в виде текста: таблица не изменена.",
                                     u"\"%1\" is neither a project file nor a table written as text: the table is unchanged."};
const TextPair CannotWriteStandardOutput{u"Не удалось записать в стандартный вывод", u"Cannot write to standard output"};
const TextPair StatisticsSheet{u"Статистика", u"Statistics"};
const TextPair OnlyWritten{u"Не удалось прочитать \"%1\": этот формат только записывается",
                           u"Cannot read \"%1\": this format is written, not read"};
const TextPair ReportNeedsDisplay{u"страницам отчёта нужно графическое приложение",
                                  u"the report's pages need a graphical application"};

const TextPair CannotSortWholeNumber{
    u"Невозможно отсортировать по столбцу «%1»: в строке %2 записано «%3», а это не целое число от -2147483648 до "
    u"2147483647.",
    u"Cannot sort by column \"%1\": row %2 holds \"%3\", which is not a whole number from -2147483648 to 2147483647."};
const TextPair CannotSortThickness{
    u"Невозможно отсортировать по столбцу «%1»: в строке %2 записано «%3», а это не толщина в миллиметрах с не более "
    u"чем двумя знаками после «,» или «.».",
    u"Cannot sort by column \"%1\": row %2 holds \"%3\", which is not a thickness in millimetres with at most two "
    u"decimals after \",\" or \".\"."};

} // namespace quilex::table_texts
