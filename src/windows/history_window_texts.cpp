#include "windows/history_window_texts.h"

namespace quilex::history_window_texts {

const TextPair HistoryMenu{u"История обследований", u"Survey history"};
const TextPair CreateHistoryCommand{u"Создать историю...", u"New history..."};
const TextPair OpenHistoryCommand{u"Открыть историю...", u"Open history..."};
const TextPair AddTableCommand{u"Добавить таблицу в историю", u"Add the table to the history"};
const TextPair HistoryWindowCommand{u"Окно истории", u"History window"};

const TextPair NewHistoryCaption{u"Новая история обследований", u"New survey history"};
const TextPair ObjectLabel{u"Объект:", u"Object:"};
const TextPair CodeLabel{u"Норматив:", u"Code:"};
const TextPair ClassLabel{u"Класс трубопровода:", u"Piping class:"};
const TextPair HistoryFilter{u"История обследований (*.qlh)", u"Survey history (*.qlh)"};
const TextPair NoHistoryOpen{u"История не открыта: сначала создайте или откройте её (Правка → История обследований).",
                             u"No history is open: make or open one first (Edit → Survey history)."};
const TextPair TableAdded{u"%1 (история %2)", u"%1 (history %2)"};
const TextPair NothingToAdd{u"В таблице нет измерений: добавлять нечего.", u"The table holds no readings: nothing to add."};
const TextPair HistoryOpened{u"Открыта история %1", u"History %1 is open"};

const TextPair WindowCaption{u"История обследований — %1", u"Survey history — %1"};
const TextPair NoHistoryCaption{u"История обследований", u"Survey history"};
const TextPair LocationsTab{u"Точки", u"Locations"};
const TextPair GroupsTab{u"Группы", u"Groups"};
const TextPair SurveysTab{u"Обследования", u"Surveys"};
const TextPair StatusFilterLabel{u"Статус:", u"Status:"};
const TextPair AnyStatus{u"любой", u"any"};
const TextPair GroupFilterLabel{u"Группа:", u"Group:"};
const TextPair AnyGroup{u"все", u"all"};
const TextPair AsOfLabel{u"На дату:", u"As of:"};
const TextPair RateLabel{u"Скорость:", u"Rate:"};
const TextPair RateLarger{u"большая", u"the larger"};
const TextPair RateLongTerm{u"долгосрочная", u"long-term"};
const TextPair RateShortTerm{u"краткосрочная", u"short-term"};
const TextPair UndoButton{u"Отменить", u"Undo"};
const TextPair RedoButton{u"Вернуть", u"Redo"};
const TextPair ShownCount{u"Показано точек: %1 из %2", u"Locations shown: %1 of %2"};
const TextPair DescriptionColumn{u"Описание", u"Description"};
const TextPair OwnRequiredColumn{u"Свой минимум, мм", u"Own required, mm"};
const TextPair RenewedColumn{u"Заменена", u"Renewed"};
const TextPair LocationsColumn{u"Точек", u"Locations"};
const TextPair StatusColumn{u"Статус", u"Status"};
const TextPair NextInspectionColumn{u"Следующий контроль", u"Next inspection"};
const TextPair ChooseLocation{u"Выберите точку в таблице: здесь появится её тренд.",
                              u"Choose a location in the table: its trend shows here."};

const TextPair ReadingDateColumn{u"Дата", u"Date"};
const TextPair ReadingThicknessColumn{u"Толщина, мм", u"Thickness, mm"};
const TextPair ReadingCountsColumn{u"В расчёте", u"Counts"};
const TextPair ReadingMarkColumn{u"Отметка", u"Mark"};
const TextPair Counted{u"да", u"yes"};
const TextPair LeftOut{u"нет", u"no"};
const TextPair MarkVerifiedButton{u"Проверено", u"Verified"};
const TextPair MarkIgnoredButton{u"Не учитывать", u"Ignore"};
const TextPair ClearMarkButton{u"Снять отметку", u"Clear mark"};
const TextPair VerifiedWord{u"проверено", u"verified"};
const TextPair IgnoredWord{u"не учитывать", u"ignored"};

const TextPair MapLabel{u"Карта сетки:", u"Grid map:"};
const TextPair MapLastThickness{u"последняя толщина", u"last thickness"};
const TextPair MapLoss{u"утонение с прошлого обследования", u"loss since the previous survey"};
const TextPair MapRate{u"скорость коррозии", u"corrosion rate"};
const TextPair MapNoGrid{u"У группы %1 не задано число столбцов сетки.", u"Group %1 has no grid columns set."};
const TextPair MapScaleThinRed{u"от %1 %3 (красный) до %2 %3 (зелёный)", u"from %1 %3 (red) to %2 %3 (green)"};
const TextPair MapScaleHighRed{u"от %1 %3 (зелёный) до %2 %3 (красный)", u"from %1 %3 (green) to %2 %3 (red)"};
const TextPair MillimetreUnit{u"мм", u"mm"};
const TextPair RateUnit{u"мм/год", u"mm/y"};

const TextPair EditGroupStep{u"изменение группы %1", u"edit of group %1"};
const TextPair EditDefaultsStep{u"изменение значений по умолчанию", u"edit of the defaults"};
const TextPair EditLocationStep{u"изменение точки %1", u"edit of location %1"};
const TextPair EditSurveyStep{u"изменение обследования %1", u"edit of survey %1"};
const TextPair MarkStep{u"отметка точки %1 за %2", u"mark of location %1 on %2"};
const TextPair BadThicknessInput{u"Толщина вводится в миллиметрах, больше 0, не более двух знаков после запятой "
                                 u"(например 6,35), а не «%1».",
                                 u"A thickness is in millimetres, above 0, with at most two decimals (such as 6.35), "
                                 u"not \"%1\"."};
const TextPair BadNumberInput{u"Здесь вводится целое число от %1 до %2, а не «%3».",
                              u"This takes a whole number from %1 to %2, not \"%3\"."};
const TextPair BadDateInput{u"Дата вводится как ГГГГ-ММ-ДД, например 2024-03-01, а не «%1».",
                            u"A date is written YYYY-MM-DD, such as 2024-03-01, not \"%1\"."};
const TextPair NameOfDefaults{u"все (по умолчанию)", u"all (defaults)"};

} // namespace quilex::history_window_texts
