#include "windows/history_commands.h"

#include "base/texts.h"
#include "history/history_texts.h"
#include "history/sqlite_history.h"
#include "table/main_window_texts.h"
#include "windows/history_window.h"
#include "windows/history_window_texts.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace quilex {

namespace {

namespace texts = history_window_texts;

QString withEnding(QString path)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".qlh");
    return path;
}

QString askNewFile(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qlh"));
    dialog.setNameFilters({Text(texts::HistoryFilter)});
    dialog.setDirectory(folder);
    dialog.setWindowTitle(Text(texts::NewHistoryCaption));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

QString askOpenFile(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({Text(texts::HistoryFilter)});
    dialog.setDirectory(folder);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

// The object of a new history: its name, the inspection code and, for API 570, the class.
std::optional<ObjectSettings> askObject(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(Text(texts::NewHistoryCaption));
    auto* name = new QLineEdit(&dialog);
    auto* code = new QComboBox(&dialog);
    code->addItems({QStringLiteral("API 570"), QStringLiteral("API 510"), QStringLiteral("API 653")});
    auto* pipingClass = new QComboBox(&dialog);
    pipingClass->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    pipingClass->setCurrentIndex(1);
    QObject::connect(code, &QComboBox::currentIndexChanged, pipingClass, [pipingClass](int index) {
        pipingClass->setEnabled(index == 0);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    QObject::connect(name, &QLineEdit::textChanged, buttons, [buttons](const QString& text) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(Text(texts::ObjectLabel), name);
    form->addRow(Text(texts::CodeLabel), code);
    form->addRow(Text(texts::ClassLabel), pipingClass);
    form->addRow(buttons);
    name->setMinimumWidth(name->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    ObjectSettings object;
    object.name = name->text().trimmed();
    object.code = code->currentIndex() == 1 ? InspectionCode::Api510
                  : code->currentIndex() == 2 ? InspectionCode::Api653
                                              : InspectionCode::Api570;
    object.pipingClass = object.code == InspectionCode::Api570 ? std::optional<int>(pipingClass->currentIndex() + 1)
                                                               : std::nullopt;
    return object;
}

void tellWithABox(QWidget* parent, const QString& message, bool failure)
{
    QMessageBox box(failure ? QMessageBox::Critical : QMessageBox::Information,
                    failure ? Text(MainText::ErrorCaption) : Text(texts::NoHistoryCaption), message, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace

HistoryCommands::HistoryCommands(QWidget* mainWindow, QMenu* after, std::function<IncomingReadings()> currentReadings,
                                 std::function<QString()> currentSource)
    : QObject(mainWindow), newFileDialog(askNewFile), objectDialog(askObject), openFileDialog(askOpenFile),
      tell(tellWithABox), main_(mainWindow), currentReadings_(std::move(currentReadings)),
      currentSource_(std::move(currentSource))
{
    after->addSeparator();
    menu = after->addMenu(QString());
    createAction = menu->addAction(QString(), this, &HistoryCommands::createHistory);
    openAction = menu->addAction(QString(), this, &HistoryCommands::openHistory);
    menu->addSeparator();
    addAction = menu->addAction(QString(), this, &HistoryCommands::addCurrentTable);
    windowAction = menu->addAction(QString(), this, &HistoryCommands::showWindow);
    retranslate();
}

HistoryCommands::~HistoryCommands()
{
    // The window's undo steps write through the store: the window goes first.
    window_.reset();
}

void HistoryCommands::retranslate()
{
    menu->setTitle(Text(texts::HistoryMenu));
    createAction->setText(Text(texts::CreateHistoryCommand));
    openAction->setText(Text(texts::OpenHistoryCommand));
    addAction->setText(Text(texts::AddTableCommand));
    windowAction->setText(Text(texts::HistoryWindowCommand));
    if (window_)
        window_->retranslate();
}

void HistoryCommands::createHistory()
{
    const QString folder = path_.isEmpty() ? QString() : QFileInfo(path_).absolutePath();
    const QString path = withEnding(newFileDialog ? newFileDialog(main_, folder) : QString());
    if (path.isEmpty())
        return;
    const auto object = objectDialog ? objectDialog(main_) : std::nullopt;
    if (!object)
        return;
    if (createHistoryAt(path, *object))
        showWindow();
}

void HistoryCommands::openHistory()
{
    const QString folder = path_.isEmpty() ? QString() : QFileInfo(path_).absolutePath();
    const QString path = openFileDialog ? openFileDialog(main_, folder) : QString();
    if (path.isEmpty())
        return;
    if (openHistoryAt(path))
        showWindow();
}

bool HistoryCommands::createHistoryAt(const QString& path, const ObjectSettings& object)
{
    if (auto made = quilex::createHistory(path, object); !made) {
        tell(main_, made.error(), true);
        return false;
    }
    return openHistoryAt(path);
}

bool HistoryCommands::openHistoryAt(const QString& path)
{
    auto opened = quilex::openHistory(path);
    if (!opened) {
        tell(main_, opened.error(), true);
        return false;
    }
    std::unique_ptr<HistoryStore> previous = std::move(store_);
    store_ = std::move(opened).value();
    path_ = path;
    if (window_)
        window_->setHistory(store_.get(), path_);
    return true;
}

void HistoryCommands::addCurrentTable()
{
    lastAdd_.reset();
    if (!store_) {
        tell(main_, Text(texts::NoHistoryOpen), true);
        return;
    }
    const IncomingReadings incoming = currentReadings_ ? currentReadings_() : IncomingReadings{};
    if (incoming.readings.empty() && incoming.skipped == 0) {
        tell(main_, Text(texts::NothingToAdd), true);
        return;
    }
    SurveyDetails details;
    details.source = currentSource_ ? currentSource_() : QString();
    const auto counts = store_->add(incoming, details, AddMode::Write);
    if (!counts) {
        tell(main_, counts.error(), true);
        return;
    }
    lastAdd_ = *counts;
    if (window_ && counts->added > 0)
        window_->reload();
    const QString summary =
        Text(history_texts::AddSummary).arg(counts->added).arg(counts->present).arg(counts->skipped);
    tell(main_, Text(texts::TableAdded).arg(summary, QFileInfo(path_).fileName()), false);
}

void HistoryCommands::showWindow()
{
    if (!store_) {
        tell(main_, Text(texts::NoHistoryOpen), true);
        return;
    }
    if (!window_) {
        window_ = std::make_unique<HistoryWindow>(main_);
        window_->setHistory(store_.get(), path_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace quilex
