#include "windows/material_settings.h"

#include "base/texts.h"
#include "exchange/bmtread_usb.h"
#include "windows/text_fit.h"
#include "windows/window_texts.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace quilex {
namespace {

namespace wt = window_texts;

constexpr int NameColumn = 1;
constexpr int SpeedColumn = 2;
// The columns' widths as drawn: the least they take.
const QList<int> ColumnWidths{20, 94, 114};

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// A printable character typed without Ctrl or Alt; the keys Qt edits with (Escape, Ctrl+C,
// Ctrl+V and the like) are left to Qt.
bool typedCharacter(const QKeyEvent* key, QChar& character)
{
    if (key->text().isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    character = key->text().at(0);
    return character.isPrint();
}

// The cell editor: a line edit whose keys pass the dialog's filter first and whose every
// change is checked against the length rule.
class MaterialCellDelegate final : public QStyledItemDelegate {
public:
    MaterialCellDelegate(TForm3& form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QString before = index.data(Qt::EditRole).toString();
        QStyledItemDelegate::setModelData(editor, model, index);
        if (index.data(Qt::EditRole).toString() != before)
            form_.noteEdited();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int column = index.column();
        const int gridRow = index.row() + 1; // the grid's row 0 is the view's header
        editor->setProperty("gridColumn", column);
        QObject::connect(editor, &QLineEdit::textEdited, editor, [this, editor, column, gridRow](const QString& text) {
            form_.editTextChanged(editor, column, gridRow, text);
        });
        return editor;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QLineEdit*>(object);
        // The warning takes the focus for a moment; the cell stays in editing meanwhile.
        if (editor && event->type() == QEvent::FocusOut && form_.showingWarning())
            return false;
        if (editor && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (isEnter(key)) {
                // Enter takes the text into the cell and moves down; the editor closes.
                Q_EMIT commitData(editor);
                Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
                form_.moveToNextRow();
                return true;
            }
            QChar character;
            if (typedCharacter(key, character) && form_.filterCharacter(editor->property("gridColumn").toInt(), character))
                return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TForm3& form_;
};

} // namespace

namespace {

TForm3::UnloadedEdits askWithABox(QWidget*)
{
    // No owner window, as every message box of the program.
    QMessageBox box(QMessageBox::Question, Text(wt::MaterialsCaption), Text(wt::UnloadedEditsQuestion));
    QPushButton* load = box.addButton(Text(wt::MaterialsLoadButton), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(Text(wt::DiscardEditsButton), QMessageBox::DestructiveRole);
    QPushButton* keep = box.addButton(Text(wt::KeepEditingButton), QMessageBox::RejectRole);
    box.setDefaultButton(load);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == load)
        return TForm3::UnloadedEdits::Load;
    if (box.clickedButton() == discard)
        return TForm3::UnloadedEdits::Discard;
    return TForm3::UnloadedEdits::KeepEditing;
}

} // namespace

TForm3::TForm3(ExchangeRunner& runner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      askAboutUnloadedEdits(askWithABox), runner_(runner), grid_(3, MaterialRows + 1, 1, 1)
{
    // FormCreate: caption, rows, the gauge bar shown, header cells, button.
    setWindowTitle(Text(wt::MaterialsCaption));
    resize(239, 388);
    setMinimumSize(160, 200);
    grid_.setRowCount(MaterialRows + 1);
    grid_.setCell(0, 0, Text(wt::MaterialsHeaderNumber));
    grid_.setCell(1, 0, Text(wt::MaterialsHeaderName));
    grid_.setCell(2, 0, Text(wt::MaterialsHeaderSpeed));

    StringGrid1 = new StringGridView(grid_, this);
    StringGrid1->setGeometry(0, 0, 239, 334);
    StringGrid1->gridModel()->setEditable(true);
    StringGrid1->setColumnWidths(std::vector<int>(ColumnWidths.begin(), ColumnWidths.end()));
    StringGrid1->horizontalHeader()->setStretchLastSection(false);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    StringGrid1->setTabKeyNavigation(true);
    StringGrid1->setItemDelegate(new MaterialCellDelegate(*this, StringGrid1));
    QPalette palette = StringGrid1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Light));
    StringGrid1->setPalette(palette);
    StringGrid1->installEventFilter(this);

    CGauge1 = makeGaugeBar(this, QRect(3, 339, 234, 9));

    Label1 = new QLabel(this);
    Label1->setGeometry(4, 347, 232, 15);

    Button1 = new QPushButton(Text(wt::MaterialsLoadButton), this);
    Button1->setGeometry(2, 362, 234, 25);
    Button1->setAutoDefault(false);
    Button1->setEnabled(!runner_.busy());
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(&runner_, &ExchangeRunner::busyChanged, Button1, [this](bool busy) { Button1->setEnabled(!busy); });
    connect(&runner_, &ExchangeRunner::finished, this, &TForm3::exchangeFinished);
    // Refitted once after any change of the grid: a name typed or read may be wider.
    fitTimer_.setSingleShot(true);
    fitTimer_.setInterval(0);
    connect(&fitTimer_, &QTimer::timeout, this, &TForm3::fitToTexts);
    startOnModelChanges(StringGrid1->model(), fitTimer_);
    StringGrid1->viewport()->installEventFilter(this);
    fitToTexts();
}

void TForm3::fitToTexts()
{
    fitTimer_.stop();
    // The columns as drawn or as wide as their header and names need; the window as wide as its
    // columns, its caption and its button, and never narrower than drawn.
    const int columns = neededColumnsWidth(StringGrid1, grid_, ColumnWidths);
    const int frame = 2 * StringGrid1->frameWidth() + StringGrid1->verticalScrollBar()->sizeHint().width() + 2;
    const int width = std::max({239, columns + frame, widthForCaption(this, windowTitle()),
                                Button1->sizeHint().width() + 4});
    const int height = std::max(388, this->height());
    if (this->width() < width)
        resize(width, height);
    fitColumns(StringGrid1, grid_, ColumnWidths);
}

TForm3::~TForm3()
{
    // The exchange writes into the grid and the targets, which go with this dialog.
    if (reporting_ && runner_.busy()) {
        runner_.state().CancelRequest = true;
        runner_.waitForEnd();
    }
    // The view and its model read the grid, which goes before the dialog's children do.
    delete StringGrid1;
    StringGrid1 = nullptr;
}

void TForm3::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The grid follows all four edges; the controls below it keep their size and their
    // distance from the bottom edge.
    const int h = height();
    StringGrid1->setGeometry(0, 0, width(), std::max(0, h - 54));
    Button1->resize(std::max(234, width() - 5), Button1->height());
    Label1->resize(std::max(232, width() - 7), Label1->height());
    CGauge1->resize(std::max(234, width() - 5), CGauge1->height());
    fitColumns(StringGrid1, grid_, ColumnWidths);
    CGauge1->move(3, h - 49);
    Label1->move(4, h - 41);
    Button1->move(2, h - 26);
}

bool TForm3::startExchange(std::uint8_t mode)
{
    if (!runner_.start(mode, gaugeTarget(), nullptr, labelTarget(), &gridTarget_))
        return false;
    reporting_ = true;
    writing_ = mode == Mode::WriteMaterials;
    return true;
}

bool TForm3::startRead()
{
    return startExchange(Mode::ReadMaterials);
}

void TForm3::Button1Click()
{
    if (runner_.busy())
        return;
    // A cell still being edited counts with the text it shows.
    for (QLineEdit* editor : StringGrid1->viewport()->findChildren<QLineEdit*>())
        if (editor->isVisible())
            QMetaObject::invokeMethod(StringGrid1, "commitData", Q_ARG(QWidget*, editor));
    if (!startExchange(Mode::WriteMaterials))
        return;
    CGauge1->show();
}

void TForm3::done(int result)
{
    // Edits that would be lost with the window: asked about first, unless a write of them is
    // already under way.
    if (edited_ && !(reporting_ && writing_) && askAboutUnloadedEdits) {
        switch (askAboutUnloadedEdits(this)) {
        case UnloadedEdits::KeepEditing:
            return;
        case UnloadedEdits::Load:
            Button1Click();
            return; // the window stays open to show how the load went
        case UnloadedEdits::Discard:
            edited_ = false;
            break;
        }
    }
    // An exchange behind a hidden dialog could retry for ever (a gauge that does not answer
    // looks, for a while, like one that is slow) and keep every other exchange from starting:
    // closing the dialog gives it up, whatever the link shows at this moment. A write that has
    // begun sending the table finishes it first.
    if (reporting_ && runner_.busy())
        runner_.state().CancelRequest = true;
    QDialog::done(result);
}

void TForm3::setGaugePosition(int percent)
{
    CGauge1->setValue(percent);
}

void TForm3::setGaugeVisible(bool visible)
{
    CGauge1->setVisible(visible);
}

void TForm3::setLabelText(const QString& text)
{
    Label1->setText(text);
}

void TForm3::exchangeFinished(ExchangeOutcome outcome)
{
    if (!reporting_)
        return; // another window's exchange
    // A read that filled the grid, or a write that loaded it whole, leaves nothing unloaded.
    if (outcome == ExchangeOutcome::Completed)
        edited_ = false;
    if (outcome == ExchangeOutcome::Completed && writing_)
        Q_EMIT materialsWritten();
    reporting_ = false;
    writing_ = false;
}

bool TForm3::filterCharacter(int column, QChar character)
{
    if (column != SpeedColumn || (character >= u'0' && character <= u'9'))
        return false;
    // No owner window, as every message box of the program.
    QMessageBox box(QMessageBox::Warning, Text(wt::DigitsOnlyCaption), Text(wt::DigitsOnlyMessage), QMessageBox::Ok);
    showingWarning_ = true;
    box.exec();
    showingWarning_ = false;
    return true;
}

void TForm3::moveToNextRow()
{
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid())
        return;
    // Model row r is grid row r + 1: from grid row 13 back to grid row 1.
    const int next = current.row() + 1 >= MaterialRows ? 0 : current.row() + 1;
    StringGrid1->setCurrentIndex(StringGrid1->gridModel()->index(next, current.column()));
}

void TForm3::editTextChanged(QLineEdit* editor, int column, int gridRow, const QString& text)
{
    const bool tooLong = (column == NameColumn && text.size() > NameMaxLength) ||
                         (column == SpeedColumn && text.size() > SpeedMaxLength);
    if (!tooLong)
        return;
    // The cell takes the text, and the editor shows it all selected: the next character typed
    // replaces the whole text.
    grid_.setCell(column, gridRow, text);
    noteEdited();
    editor->setText(text);
    editor->selectAll();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == StringGrid1->viewport())
        fitTimer_.start();
    if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isEnter(key)) {
            moveToNextRow();
            return true;
        }
        QChar character;
        if (typedCharacter(key, character) && filterCharacter(StringGrid1->currentIndex().column(), character))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quilex
