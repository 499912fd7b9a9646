#include "windows/help_window.h"

#include "base/texts.h"
#include "table/main_window_texts.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The manual lives in a resource of this static library: name it so the linker keeps it.
static void initHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace quilex {
namespace {

QPointer<HelpWindow>& instance()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window), browser_(new QTextBrowser(this))
{
    initHelpResources();
    // Closing the main window ends the program even while the manual is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(760, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenExternalLinks(true);
    // Escape closes it, as it closes the program's other windows.
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(browser_->documentTitle().isEmpty() ? QString::fromUtf16(ApplicationTitle)
                                                                        : browser_->documentTitle()); });
}

QUrl HelpWindow::pageFor(std::uint8_t languageIndex)
{
    return QUrl(languageIndex == LanguageEnglish ? QStringLiteral("qrc:/help/en/index.html")
                                                 : QStringLiteral("qrc:/help/ru/index.html"));
}

void HelpWindow::showLanguage(std::uint8_t languageIndex)
{
    const std::uint8_t language = languageIndex == LanguageEnglish ? LanguageEnglish : LanguageRussian;
    if (!loaded_ || language != language_) {
        language_ = language;
        loaded_ = true;
        browser_->setSource(pageFor(language));
    }
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void showHelp()
{
    QPointer<HelpWindow>& window = instance();
    if (!window) {
        window = new HelpWindow;
        // Gone with the application, whoever else is still around then.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.data(), &QObject::deleteLater);
    }
    window->showLanguage(languageIndex());
}

HelpWindow* helpWindow()
{
    return instance().data();
}

void destroyHelpWindow()
{
    delete instance().data();
}

} // namespace quilex
