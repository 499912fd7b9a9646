#include "export/report_texts.h"

namespace quilex::report_texts {

const TextPair PageOf{u"страница %1 из %2", u"page %1 of %2"};

const TextPair InspectionTitle{u"Протокол контроля", u"Inspection report"};
const TextPair InspectionSubtitle{u"Ультразвуковая толщинометрия", u"Ultrasonic thickness measurement"};
const TextPair Object{u"Объект", u"Object"};
const TextPair Place{u"Место контроля", u"Place"};
const TextPair Operator{u"Оператор", u"Operator"};
const TextPair Gauge{u"Прибор", u"Gauge"};
const TextPair Serial{u"Заводской номер", u"Serial number"};
const TextPair Probe{u"Преобразователь", u"Probe"};
const TextPair Calibration{u"Калибровка", u"Calibration"};
const TextPair Couplant{u"Контактная среда", u"Couplant"};
const TextPair Date{u"Дата протокола", u"Date of the report"};
const TextPair ReadingsPeriod{u"%1 измерений с %2 по %3", u"%1 readings from %2 to %3"};
const TextPair ReadingsCount{u"%1 измерений", u"%1 readings"};
const TextPair Materials{u"Материал и скорость звука", u"Material and sound speed"};
const TextPair SoundSpeedUnit{u"%1 м/с", u"%1 m/s"};
const TextPair LimitsHeading{u"Пределы толщины", u"Thickness limits"};
const TextPair NoLimits{u"Номинальная и минимальная допустимая толщина не заданы.",
                        u"No nominal or minimum allowable thickness is set."};
const TextPair LimitSeries{u"Серия", u"Series"};
const TextPair LimitNominal{u"Номинальная толщина, мм", u"Nominal thickness, mm"};
const TextPair LimitMinimum{u"Минимальная допустимая толщина, мм", u"Minimum allowable thickness, mm"};
const TextPair StatisticsHeading{u"Статистика по сериям", u"Statistics per series"};
const TextPair ChartHeading{u"График толщины", u"Thickness chart"};
const TextPair ReadingsHeading{u"Измерения", u"Readings"};
const TextPair BelowMinimumNote{u"Измерения тоньше минимальной допустимой толщины отмечены словами «%1» и выделены.",
                                u"Readings thinner than the minimum allowable thickness are marked \"%1\" and shaded."};
const TextPair MarkColumn{u"Отметка", u"Mark"};
const TextPair BelowMinimumMark{u"ниже мин.", u"below min."};
const TextPair NoReadings{u"В таблице нет измерений.", u"The table holds no readings."};
const TextPair Signature{u"Контроль выполнил: ______________________   Подпись: ______________   Дата: __________",
                         u"Inspected by: ______________________   Signature: ______________   Date: __________"};
const TextPair CannotWritePdf{u"Не удалось записать \"%1\": %2", u"Cannot write \"%1\": %2"};

const TextPair TitleDialogCaption{u"Протокол контроля", u"Inspection report"};
const TextPair TitleDialogNote{u"Эти данные печатаются в шапке протокола и запоминаются для таблицы.",
                               u"These texts head the report and are kept for the table."};
const TextPair PreviewButton{u"Просмотр и печать...", u"Preview and print..."};
const TextPair PdfButton{u"Сохранить PDF...", u"Save PDF..."};
const TextPair CancelButton{u"Отмена", u"Cancel"};
const TextPair PdfFilter{u"Документ PDF (*.pdf)", u"PDF document (*.pdf)"};

const TextPair HistoryTitle{u"Отчёт по истории обследований", u"Survey history report"};
const TextPair Code{u"Норматив", u"Inspection code"};
const TextPair CodeWithClass{u"%1, класс трубопровода %2", u"%1, piping class %2"};
const TextPair AsOf{u"Статус на дату", u"Status as of"};
const TextPair RateRule{u"Расчётная скорость", u"Governing rate"};
const TextPair RateLarger{u"большая из долгосрочной и краткосрочной", u"the larger of the long- and short-term rates"};
const TextPair RateLongTerm{u"долгосрочная", u"the long-term rate"};
const TextPair RateShortTerm{u"краткосрочная", u"the short-term rate"};
const TextPair Surveys{u"Обследования", u"Surveys"};
const TextPair SurveysSpan{u"%1, с %2 по %3", u"%1, from %2 to %3"};
const TextPair SummaryHeading{u"Сводка", u"Summary"};
const TextPair ByStatusHeading{u"Точки по статусу", u"Locations by status"};
const TextPair StatusColumn{u"Статус", u"Status"};
const TextPair LocationsColumn{u"Точек", u"Locations"};
const TextPair Total{u"Всего", u"Total"};
const TextPair GroupsHeading{u"Группы", u"Groups"};
const TextPair GroupName{u"Название", u"Name"};
const TextPair NextInspection{u"Следующий контроль", u"Next inspection"};
const TextPair WorstHeading{u"Десять худших точек", u"The ten worst locations"};
const TextPair Location{u"Точка", u"Location"};
const TextPair Group{u"Группа", u"Group"};
const TextPair GroupHeading{u"Группа %1 — %2", u"Group %1 — %2"};
const TextPair GroupHeadingPlain{u"Группа %1", u"Group %1"};
const TextPair GroupLine{u"Номинальная толщина %1 мм, допустимый минимум %2 мм; статус %3, следующий контроль %4.",
                         u"Nominal thickness %1 mm, required %2 mm; status %3, next inspection %4."};
const TextPair NotSet{u"не задан", u"not set"};
const TextPair TrendsHeading{u"Тренды точек в красном и жёлтом статусе", u"Trends of the red and amber locations"};
const TextPair SurveysHeading{u"Обследования", u"Surveys"};
const TextPair NoLocations{u"В истории нет точек.", u"The history holds no locations."};
const TextPair LocationTrend{u"Точка %1 (%2)", u"Location %1 (%2)"};

const TextPair Item{u"Показатель", u"Item"};
const TextPair Value{u"Значение", u"Value"};
const TextPair ClassItem{u"Класс трубопровода", u"Piping class"};
const TextPair FirstSurvey{u"Первое обследование", u"First survey"};
const TextPair LastSurvey{u"Последнее обследование", u"Last survey"};
const TextPair LocationsItem{u"Точек", u"Locations"};
const TextPair WorstStatus{u"Худший статус", u"Worst status"};
const TextPair Description{u"Описание", u"Description"};
const TextPair TooManyReadings{
    u"В истории %1 измерений, а лист книги вмещает не более %2: выгрузите их командой history readings -o FILE.csv",
    u"The history holds %1 readings, and a sheet holds at most %2: write them with history readings -o FILE.csv"};
const TextPair ReportOutput{u"history report пишет -o OUT.pdf или OUT.xlsx, а не \"%1\"",
                            u"history report writes -o OUT.pdf or OUT.xlsx, not \"%1\""};
const TextPair CannotWriteWorkbook{u"Не удалось записать \"%1\": %2", u"Cannot write \"%1\": %2"};

} // namespace quilex::report_texts
