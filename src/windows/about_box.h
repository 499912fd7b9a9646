#pragma once
// The about box: product name, version with its build date, legal notice, the maker's
// telephone numbers and the two links that start an e-mail to the maker and open the maker's
// web page.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

namespace quilex {

// What the builder of the program sets for the maker (see the CMake cache variables
// QUILEX_MAKER_*); the build date is the compiler's __DATE__.
struct AboutInfo {
    QString fileVersion;
    QString buildDate;     // "Mar 13 2012", a one-digit day after a blank
    QString legalNotice;
    QString email;
    QString web;
    QStringList phones;
};
const AboutInfo& aboutInfo();

// " от 3 марта 2012 г." from "Mar  3 2012": date joiner, day, month name, year and year suffix
// in the language given. Nothing when the date does not split into month, day and year; a
// month that is not known reads as January.
std::optional<QString> buildDateText(const QString& buildDate, std::uint8_t languageIndex);
// "Версия 2.1 от 3 марта 2012 г.", or nothing when the date cannot be read.
std::optional<QString> versionLine(const QString& fileVersion, const QString& buildDate, std::uint8_t languageIndex);

class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr, const AboutInfo& info = aboutInfo());

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* txtCopyright = nullptr;
    QLabel* Comments = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* LabelWWW = nullptr;
    QLabel* LabelEMail = nullptr;
    QPushButton* OKButton = nullptr;

    // The address a click on LabelEMail opens: a new message with the program's title as subject.
    QUrl mailUrl() const;
    QUrl webUrl() const;
    void LabelEMailClick();
    void LabelWWWClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quilex
