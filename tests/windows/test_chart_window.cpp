// The chart window as the inspector meets it, in both languages, on an offscreen screen of
// 1366 x 768 (run again at twice the scale, where it is 683 x 384): it fits, its button names the
// view it switches to, the wheel and a dragged rectangle zoom and a button resets, a pointer on a
// reading gets its tooltip, and the picture is saved at the size in the boxes.

#include "charts/readings_chart.h"
#include "table/archive_columns.h"
#include "base/texts.h"
#include "support/test_support.h"
#include "windows/chart_window.h"
#include "windows/windows_test_support.h"

#include <QAbstractButton>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QSpinBox>
#include <QToolTip>
#include <QValueAxis>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new LaptopScreenEnvironment({.frameMargins = true}));

// A table of a few hundred readings in eight series, as a download leaves it.
void fillTable(StringGrid& grid, int rows)
{
    grid.setColCount(8);
    grid.setRowCount(rows + 1);
    writeArchiveHeader(grid, 0);
    const QLocale locale = QLocale::system();
    for (int r = 1; r <= rows; ++r)
        grid.setRow(r, {QString::number(r), QStringLiteral("сталь 1"), "5920",
                        locale.toString((800 + (r * 37) % 600) / 100.0, 'f', 2), QString::number(r), QString::number(r % 8),
                        locale.toString(QDate(2013, 5, 1 + r % 28), locale.dateFormat(QLocale::ShortFormat)), "09:03:00"});
}

TableLimits someLimits()
{
    TableLimits limits;
    limits.table = {1200, 900};
    limits.series[3] = {1300, 1000};
    return limits;
}

class ChartWindowTest : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override
    {
        setLanguageIndex(GetParam());
        fillTable(grid, 400);
        window = std::make_unique<ChartWindow>(values);
        window->show();
        window->refresh(someLimits());
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        window.reset();
        setLanguageIndex(LanguageRussian);
    }
    bool english() const { return GetParam() == LanguageEnglish; }
    QPoint viewPoint(double x, double y) const
    {
        ReadingsChart* chart = window->chart();
        const QPointF at = chart->mapToPosition(QPointF(x, y), chart->series().front());
        return window->view()->mapFromScene(chart->mapToScene(at));
    }

    StringGrid grid;
    TableValues values{grid};
    std::unique_ptr<ChartWindow> window;
};

// Every button and label of the window shows its whole text.
void expectTextsWhole(QWidget* window, const std::string& where)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window))
            continue;
        EXPECT_LE(button->sizeHint().width(), button->width()) << where << ": " << button->text().toStdString();
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window))
            continue;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
            << where << ": " << label->text().toStdString();
    }
}

// With QUILEX_SCREENSHOTS naming a folder, the window as drawn, and under a real display also
// with the window manager's frame, to look at.
void savePicture(QWidget* window, const QString& name)
{
    const QString folder = qEnvironmentVariable("QUILEX_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name + (languageIndex() == LanguageEnglish ? "-en" : "-ru");
    window->grab().save(base + QStringLiteral(".png"));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QTest::qWait(300);
        const QRect frame = window->frameGeometry();
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(base + QStringLiteral("-framed.png"));
    }
}

} // namespace

// On a 1366 x 768 screen, at the usual scale and at twice it (683 x 384), the whole window with
// its frame is on the screen in both views, every text whole.
TEST_P(ChartWindowTest, FitsASmallScreenInBothViews)
{
    QScreen* screen = window->screen();
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
        EXPECT_EQ(screen->geometry().size(), QSize(int(1366 / scale), int(768 / scale)));
    }
    const QRect room = screen->availableGeometry();
    for (const bool histogram : {false, true}) {
        window->setHistogram(histogram);
        QApplication::processEvents();
        const std::string where = histogram ? "histogram" : "chart";
        EXPECT_LE(window->minimumSizeHint().width(), room.width()) << where;
        EXPECT_LE(window->minimumSizeHint().height(), room.height()) << where;
        const QRect frame = window->frameGeometry();
        EXPECT_LE(frame.width(), room.width()) << where;
        EXPECT_LE(frame.height(), room.height()) << where;
        EXPECT_TRUE(room.contains(frame)) << where << ": frame " << frame.x() << ',' << frame.y() << ' '
                                          << frame.width() << 'x' << frame.height();
        expectTextsWhole(window.get(), where);
        EXPECT_GE(window->view()->height(), 150) << "room for the chart";
        savePicture(window.get(), QString::fromStdString("chart-window-" + where));
    }
    window->setStacked(false);
    QApplication::processEvents();
    savePicture(window.get(), QStringLiteral("chart-window-histogram-side-by-side"));
    // The other language's texts fit the same window.
    setLanguageIndex(english() ? LanguageRussian : LanguageEnglish);
    window->retranslate();
    QApplication::processEvents();
    expectTextsWhole(window.get(), "after the language changed");
}

// The button names the view it switches to, the stacking applies to the histogram only, and a
// change of language redraws the chart in it.
TEST_P(ChartWindowTest, ButtonNamesTheOtherViewAndTextsFollowTheLanguage)
{
    QPushButton* button = window->histogramButton();
    EXPECT_EQ(window->windowTitle(), english() ? "Chart" : "График");
    EXPECT_EQ(button->text(), english() ? "Histogram" : "Гистограмма");
    EXPECT_FALSE(window->stackedBox()->isVisible());
    EXPECT_EQ(window->chart()->title(), english() ? "Thickness by record number" : "Толщина по номерам записей");

    button->click();
    EXPECT_TRUE(window->histogram());
    EXPECT_EQ(button->text(), english() ? "Chart" : "График");
    EXPECT_TRUE(window->chart()->options().histogram);
    EXPECT_EQ(window->chart()->title(), english() ? "Distribution of the thickness" : "Распределение толщины");
    EXPECT_TRUE(window->stackedBox()->isVisible());
    EXPECT_EQ(window->stackedBox()->text(), english() ? "Series stacked" : "Серии друг на друге");
    EXPECT_TRUE(window->chart()->options().stacked);
    window->stackedBox()->click();
    EXPECT_FALSE(window->chart()->options().stacked);
    EXPECT_EQ(window->chart()->tableLimitLines().size(), 2u);
    EXPECT_EQ(window->chart()->seriesLimitLines().size(), 2u);

    const std::uint8_t other = english() ? LanguageRussian : LanguageEnglish;
    setLanguageIndex(other);
    window->retranslate();
    EXPECT_EQ(window->windowTitle(), other == LanguageEnglish ? "Chart" : "График");
    EXPECT_EQ(button->text(), other == LanguageEnglish ? "Chart" : "График");
    EXPECT_EQ(window->chart()->title(), other == LanguageEnglish ? "Distribution of the thickness" : "Распределение толщины");
    EXPECT_EQ(window->chart()->xAxis()->titleText(), other == LanguageEnglish ? "Thickness, mm" : "Толщина, мм");
    EXPECT_FALSE(window->chart()->options().stacked) << "the choice of bars stays";

    button->click();
    EXPECT_FALSE(window->histogram());
    EXPECT_EQ(button->text(), other == LanguageEnglish ? "Histogram" : "Гистограмма");
    EXPECT_FALSE(window->stackedBox()->isVisible());
    EXPECT_EQ(window->wholeChartButton()->text(), other == LanguageEnglish ? "Reset zoom" : "Сбросить масштаб");
}

// A pointer that rests on a reading shows its record number, series, thickness and date. The
// wheel zooms about the pointer, a dragged rectangle into itself, and the button shows the whole
// chart again; a change of language keeps the zoom.
TEST_P(ChartWindowTest, TooltipsAndZoomByWheelAndRectangleAndTheButtonResets)
{
    // Record 10: series 2, (800 + 370) hundredths.
    const QPoint reading = viewPoint(10, 11.70);
    QHelpEvent help(QEvent::ToolTip, reading, window->view()->viewport()->mapToGlobal(reading));
    QApplication::sendEvent(window->view()->viewport(), &help);
    const QString thickness = QLocale::system().toString(11.70, 'f', 2);
    const QString date = QLocale::system().toString(QDate(2013, 5, 11), QLocale::ShortFormat);
    EXPECT_TRUE(waitFor([] { return QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(QToolTip::text(), english() ? "№ 10\nSeries 2\n" + thickness + " mm\n" + date
                                          : "№ 10\nСерия 2\n" + thickness + " мм\n" + date);
    savePicture(window.get(), QStringLiteral("chart-window-tooltip"));
    QToolTip::hideText();

    QPushButton* reset = window->wholeChartButton();
    EXPECT_FALSE(reset->isEnabled());
    QWidget* viewport = window->view()->viewport();
    const QPoint centre = viewPoint(200, 10);
    const double widthBefore = window->chart()->xAxis()->max() - window->chart()->xAxis()->min();
    const QPointF valueBefore = window->chart()->mapToValue(window->chart()->mapFromScene(window->view()->mapToScene(centre)));
    QWheelEvent wheel(centre, viewport->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    EXPECT_TRUE(window->chart()->zoomed());
    EXPECT_TRUE(reset->isEnabled());
    const double widthAfter = window->chart()->xAxis()->max() - window->chart()->xAxis()->min();
    EXPECT_NEAR(widthAfter, widthBefore / 1.5625, widthBefore * 0.01);
    const QPointF valueAfter = window->chart()->mapToValue(window->chart()->mapFromScene(window->view()->mapToScene(centre)));
    EXPECT_NEAR(valueAfter.x(), valueBefore.x(), widthBefore * 0.01) << "the value under the pointer stays";

    setLanguageIndex(english() ? LanguageRussian : LanguageEnglish);
    window->retranslate();
    EXPECT_TRUE(window->chart()->zoomed());
    EXPECT_TRUE(reset->isEnabled());

    reset->click();
    EXPECT_FALSE(window->chart()->zoomed());
    EXPECT_FALSE(reset->isEnabled());

    // A rectangle dragged with the left button from record 100 to 150.
    const QPoint from = viewPoint(100, 13.5), to = viewPoint(150, 9);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_TRUE(window->chart()->zoomed());
    EXPECT_NEAR(window->chart()->xAxis()->min(), 100, 2);
    EXPECT_NEAR(window->chart()->xAxis()->max(), 150, 2);
    EXPECT_TRUE(reset->isEnabled());
    savePicture(window.get(), QStringLiteral("chart-window-zoomed"));
    reset->click();
    EXPECT_FALSE(window->chart()->zoomed());
}

// The picture is as large as the view on the screen in device pixels (twice the window at
// twice the scale) until the user types a size; then as typed, PNG and SVG alike.
TEST_P(ChartWindowTest, SavesThePictureAtTheSizeInTheBoxes)
{
    const QSize device = window->view()->size() * window->devicePixelRatioF();
    EXPECT_EQ(window->pictureSize(), device);
    TempDir dir;
    const QString png = QString::fromStdString(dir.file("chart.png"));
    ASSERT_TRUE(window->saveChartFile(png));
    EXPECT_EQ(QImageReader(png).size(), device);

    window->pictureWidthBox()->setValue(1000);
    window->pictureHeightBox()->setValue(600);
    window->resize(window->width() - 20, window->height() - 10);
    QApplication::processEvents();
    EXPECT_EQ(window->pictureSize(), QSize(1000, 600)) << "a typed size stays";
    window->setHistogram(true);
    ASSERT_TRUE(window->saveChartFile(png));
    EXPECT_EQ(QImageReader(png).size(), QSize(1000, 600));

    const QString svg = QString::fromStdString(dir.file("chart.svg"));
    window->setHistogram(false);
    ASSERT_TRUE(window->saveChartFile(svg));
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // 1000 CSS pixels (96 to the inch).
    EXPECT_TRUE(text.contains("width=\"264.583mm\" height=\"158.75mm\"")) << text.left(200).constData();
    EXPECT_TRUE(text.contains("viewBox=\"0 0 1000 600\""));
    EXPECT_FALSE(text.contains("<image"));
    // The chart on the screen keeps its light markers: only the picture draws shapes.
    QScatterSeries* dots = nullptr;
    for (QAbstractSeries* s : window->chart()->series())
        if ((dots = qobject_cast<QScatterSeries*>(s)))
            break;
    ASSERT_NE(dots, nullptr);
    EXPECT_FALSE(dots->lightMarker().isNull());
}

INSTANTIATE_TEST_SUITE_P(Languages, ChartWindowTest, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });
