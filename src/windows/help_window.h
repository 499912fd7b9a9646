#pragma once
// The program's manual, in Russian and English, bundled with the program and shown in a
// window of its own. The window belongs to no other window, so it stays where it is while the
// main window is used; there is one, shown again and raised by every request for help.

#include <QWidget>

#include <cstdint>

class QTextBrowser;

namespace quilex {

class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    HelpWindow();

    QTextBrowser* browser() const { return browser_; }
    // The manual's page for a language: 0 Russian, 1 English.
    static QUrl pageFor(std::uint8_t languageIndex);
    // Shows the manual in that language; a page already shown in it stays where it was.
    void showLanguage(std::uint8_t languageIndex);
    std::uint8_t language() const { return language_; }

private:
    QTextBrowser* browser_;
    std::uint8_t language_ = 0;
    bool loaded_ = false;
};

// F1 and the help menu: the manual in the language in use, in the one help window.
void showHelp();
// The help window if there is one yet.
HelpWindow* helpWindow();
// Closes and destroys the help window (at the end of the program; nothing if there is none).
void destroyHelpWindow();

} // namespace quilex
