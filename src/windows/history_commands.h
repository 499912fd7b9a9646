#pragma once
// The main window's history commands, in a menu of their own after the other items of a menu:
// make a survey history, open one, add the current table to the open history (and say what
// was added, what was there already and what was skipped), and the history window. The open
// history is remembered for the rest of the run.

#include "history/history_store.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace quilex {

class HistoryWindow;

class HistoryCommands final : public QObject {
    Q_OBJECT
public:
    // The readings of the window's current table, and the name of the table's file (empty for a
    // download never saved), as the commands ask for them.
    HistoryCommands(QWidget* mainWindow, QMenu* after, std::function<IncomingReadings()> currentReadings,
                    std::function<QString()> currentSource);
    ~HistoryCommands() override;

    void retranslate();

    // The dialogs, replaceable so that tests can answer them. Each returns nothing when
    // cancelled.
    std::function<QString(QWidget* parent, const QString& folder)> newFileDialog;
    std::function<std::optional<ObjectSettings>(QWidget* parent)> objectDialog;
    std::function<QString(QWidget* parent, const QString& folder)> openFileDialog;
    // How the commands tell the user something: a failure (critical) or a result.
    std::function<void(QWidget* parent, const QString& message, bool failure)> tell;

    // The commands themselves, as the menu runs them.
    void createHistory();
    void openHistory();
    void addCurrentTable();
    void showWindow();

    // Without the dialogs: false when refused (told). The history open before stays open when
    // another cannot be opened.
    bool createHistoryAt(const QString& path, const ObjectSettings& object);
    bool openHistoryAt(const QString& path);
    // What the last add did; none before one, or when it failed.
    std::optional<AddCounts> lastAdd() const { return lastAdd_; }

    const QString& path() const { return path_; }
    HistoryStore* store() const { return store_.get(); }
    HistoryWindow* window() const { return window_.get(); }

    QMenu* menu = nullptr;
    QAction* createAction = nullptr;
    QAction* openAction = nullptr;
    QAction* addAction = nullptr;
    QAction* windowAction = nullptr;

private:
    QWidget* main_;
    std::function<IncomingReadings()> currentReadings_;
    std::function<QString()> currentSource_;
    QString path_;
    std::unique_ptr<HistoryStore> store_;
    std::unique_ptr<HistoryWindow> window_;
    std::optional<AddCounts> lastAdd_;
};

} // namespace quilex
