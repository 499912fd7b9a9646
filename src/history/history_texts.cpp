#include "history/history_texts.h"

#include <initializer_list>

namespace quilex::history_texts {

const TextPair NoSuchHistory{u"Истории \"%1\" нет: новую создаёт quilex-cli history init",
                             u"There is no history \"%1\": quilex-cli history init makes a new one"};
const TextPair NotAHistory{u"Файл \"%1\" не является историей обследований Quilex-A; он оставлен как был",
                           u"\"%1\" is not a Quilex-A survey history; it was left as it was"};
const TextPair ForeignDatabase{
    u"Файл \"%1\" — база данных SQLite другой программы, а не история обследований Quilex-A; он оставлен как был",
    u"\"%1\" is an SQLite database of another program, not a Quilex-A survey history; it was left as it was"};
const TextPair NewerHistory{
    u"История \"%1\" записана более новой версией Quilex-A (версия схемы %2, эта программа знает версию %3): "
    u"обновите программу. Файл оставлен как был",
    u"The history \"%1\" was written by a newer Quilex-A (schema version %2, this program knows version %3): "
    u"update the program. The file was left as it was"};
const TextPair DamagedHistory{u"История \"%1\" повреждена (%2); файл оставлен как был",
                              u"The history \"%1\" is damaged (%2); the file was left as it was"};
const TextPair BusyHistory{
    u"История \"%1\" занята другой программой уже %2 с; повторите позже, файл оставлен как был",
    u"The history \"%1\" has been busy with another program for %2 s; try again later, the file was left as it was"};
const TextPair CannotReadHistory{u"Не удалось прочитать историю \"%1\": %2",
                                 u"Cannot read the history \"%1\": %2"};
const TextPair CannotWriteHistory{u"Не удалось записать историю \"%1\" (%2); файл оставлен как был",
                                  u"Cannot write the history \"%1\" (%2); the file was left as it was"};
const TextPair HistoryExists{u"Файл \"%1\" уже есть: новая история создаётся только в новом файле",
                             u"\"%1\" already exists: a new history is made only as a new file"};
const TextPair CannotCreateHistory{u"Не удалось создать историю \"%1\": %2", u"Cannot make the history \"%1\": %2"};
const TextPair NoSuchSurvey{u"В истории нет обследования %1", u"The history has no survey %1"};

const TextPair AddSummary{u"добавлено %1, уже были %2, пропущено %3", u"added %1, already present %2, skipped %3"};
const TextPair DryRunNote{u"(пробный прогон: история не изменена)", u"(dry run: the history was not changed)"};

const TextPair BadLocation{u"точка задаётся как СЕРИЯ-НОМЕР, например 3-12, а не \"%1\"",
                           u"a location is SERIES-NUMBER, such as 3-12, not \"%1\""};
const TextPair BadDate{u"%1: дата пишется как ГГГГ-ММ-ДД, например 2024-03-01, а не \"%2\"",
                       u"%1 takes a date written YYYY-MM-DD, such as 2024-03-01, not \"%2\""};
const TextPair BadThickness{
    u"%1: толщина в миллиметрах больше 0, не более двух знаков после запятой (например 6.35), а не \"%2\"",
    u"%1 takes a thickness in millimetres above 0 with at most two decimals (such as 6.35), not \"%2\""};
const TextPair BadWholeNumber{u"%1: целое число от %2 до %3, а не \"%4\"",
                              u"%1 takes a whole number from %2 to %3, not \"%4\""};
const TextPair BadSeries{u"СЕРИЯ — номер серии (0 и больше) или all, а не \"%1\"",
                         u"SERIES is a series number (0 or more) or all, not \"%1\""};
const TextPair BadCode{u"--code: api570, api510 или api653, а не \"%1\"",
                       u"--code takes api570, api510 or api653, not \"%1\""};
const TextPair BadClass{u"--class: класс трубопровода 1, 2, 3 или 4, а не \"%1\"",
                        u"--class takes the piping class 1, 2, 3 or 4, not \"%1\""};
const TextPair ClassOnlyApi570{u"--class есть только у api570 (класс трубопровода)",
                               u"--class belongs to api570 only (the piping class)"};
const TextPair ObjectNeeded{u"нужно --object НАЗВАНИЕ: название объекта", u"--object TEXT is needed: the object's name"};
const TextPair BadRate{u"--rate: max, lt или st, а не \"%1\"", u"--rate takes max, lt or st, not \"%1\""};
const TextPair BadMark{u"отметка — verified, ignored или clear, а не \"%1\"",
                       u"the mark is verified, ignored or clear, not \"%1\""};
const TextPair NameOfAll{u"all задаёт значения по умолчанию для всех групп, а название у каждой группы своё",
                         u"all sets the defaults of every group, while each group has a name of its own"};
const TextPair NoReadingThatDay{u"у точки %1 нет измерений за %2", u"location %1 has no reading on %2"};
const TextPair CannotReadTable{u"%1; в историю ничего не добавлено", u"%1; nothing was added to the history"};

const TextPair TooFewArguments{u"не хватает аргументов", u"too few arguments"};
const TextPair TooManyArguments{u"лишние аргументы", u"too many arguments"};
const TextPair SubcommandNeeded{
    u"нужна команда: init, add, group, location, mark, rates, readings, surveys, trend или report",
    u"needs a subcommand: init, add, group, location, mark, rates, readings, surveys, trend or report"};
const TextPair UnknownSubcommand{u"неизвестная команда \"%1\"", u"unknown subcommand \"%1\""};
const TextPair NoSuchLocation{u"в истории нет точки %1", u"the history has no location %1"};
const TextPair PictureNeeded{u"нужно -o ФАЙЛ.png или ФАЙЛ.svg: куда записать график",
                             u"-o OUT.png or OUT.svg is needed: where to write the chart"};
const TextPair BadPictureSize{u"--size: ШИРИНАxВЫСОТА в точках, каждое от 100 до 10000",
                              u"--size takes WIDTHxHEIGHT in pixels, 100 to 10000 each"};
const TextPair CannotWritePicture{u"Не удалось записать \"%1\": %2", u"Cannot write \"%1\": %2"};

const TextPair AllGroups{u"все", u"all"};

namespace {

QStringList texts(int languageIndex, std::initializer_list<TextPair> pairs)
{
    QStringList out;
    for (const TextPair& pair : pairs)
        out << Text(pair, std::uint8_t(languageIndex));
    return out;
}

} // namespace

QStringList ratesHeader(int languageIndex)
{
    return texts(languageIndex,
                 {{u"Точка", u"Location"},
                  {u"Серия", u"Series"},
                  {u"Номер", u"Number"},
                  {u"Ячейка", u"Cell"},
                  {u"Номинал, мм", u"Nominal, mm"},
                  {u"Допустимый минимум, мм", u"Required, mm"},
                  {u"Дата базового", u"Base date"},
                  {u"Базовое, мм", u"Base, mm"},
                  {u"Дата предыдущего", u"Previous date"},
                  {u"Предыдущее, мм", u"Previous, mm"},
                  {u"Дата последнего", u"Last date"},
                  {u"Последнее, мм", u"Last, mm"},
                  {u"Долгосрочная скорость, мм/год", u"Long-term rate, mm/y"},
                  {u"Краткосрочная скорость, мм/год", u"Short-term rate, mm/y"},
                  {u"Расчётная скорость, мм/год", u"Governing rate, mm/y"},
                  {u"Остаточный ресурс, лет", u"Remaining life, y"},
                  {u"Дата отбраковки", u"Retirement date"},
                  {u"Интервал, лет", u"Interval, y"},
                  {u"Следующий контроль", u"Next inspection"},
                  {u"Статус", u"Status"},
                  {u"Флаги", u"Flags"}});
}

QStringList readingsHeader(int languageIndex)
{
    return texts(languageIndex,
                 {{u"Точка", u"Location"},
                  {u"Серия", u"Series"},
                  {u"Номер", u"Number"},
                  {u"Дата", u"Date"},
                  {u"Время", u"Time"},
                  {u"Толщина, мм", u"Thickness, mm"},
                  {u"Скорость звука, м/с", u"Sound speed, m/s"},
                  {u"Материал", u"Material"},
                  {u"Дата обследования", u"Survey date"},
                  {u"Отметка", u"Mark"}});
}

QStringList surveysHeader(int languageIndex)
{
    return texts(languageIndex,
                 {{u"Обследование", u"Survey"},
                  {u"Дата", u"Date"},
                  {u"Метка", u"Label"},
                  {u"Оператор", u"Operator"},
                  {u"Прибор", u"Gauge"},
                  {u"Преобразователь", u"Probe"},
                  {u"Источник", u"Source"},
                  {u"Добавлено измерений", u"Readings added"}});
}

QString statusWord(Status status, int languageIndex)
{
    static constexpr TextPair Words[] = {{u"зелёный", u"green"}, {u"жёлтый", u"amber"}, {u"красный", u"red"},
                                         {u"серый", u"grey"}};
    std::size_t index = 3;
    switch (status) {
    case Status::Green:
        index = 0;
        break;
    case Status::Amber:
        index = 1;
        break;
    case Status::Red:
        index = 2;
        break;
    case Status::Grey:
        break;
    }
    return Text(Words[index], std::uint8_t(languageIndex));
}

QStringList groupHeader(int languageIndex)
{
    return texts(languageIndex,
                 {{u"Серия", u"Series"},
                  {u"Название", u"Name"},
                  {u"Номинал, мм", u"Nominal, mm"},
                  {u"Допустимый минимум, мм", u"Required, mm"},
                  {u"Столбцов сетки", u"Grid columns"},
                  {u"Первый номер", u"First number"}});
}

QStringList locationHeader(int languageIndex)
{
    return texts(languageIndex,
                 {{u"Точка", u"Location"},
                  {u"Серия", u"Series"},
                  {u"Номер", u"Number"},
                  {u"Ячейка", u"Cell"},
                  {u"Описание", u"Description"},
                  {u"Допустимый минимум, мм", u"Required, mm"},
                  {u"Заменена", u"Renewed"}});
}

} // namespace quilex::history_texts
