#pragma once
// "ﾌｫﾝﾄの指定": chooses the dump's font. It lists the fonts whose Latin
// characters share one advance (fixed-pitch fonts, and the Japanese fonts
// that draw Latin at one width and kanji at twice it), four styles and
// sizes of 1 to 17 points; there is nothing for underline, strike-out or
// colour, which the dump does not draw.
#include <QDialog>
#include <QString>
#include <QStringList>

#include "host/ui_host.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace octile {

// The families the dialog offers, sorted, without private or vertical
// ("@") families.
QStringList DumpFontFamilies();

// True when the family has every Latin letter, digit and the common marks
// of the dump, all with one advance.
bool HasOneLatinAdvance(const QString& family);

class ViewFontDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens on the face the view draws with, the style and the size of the
    // description.
    explicit ViewFontDialog(const ViewFont& initial, QWidget* parent = nullptr);

    // The description as chosen. Face, style and size that were left as
    // they opened keep the initial description's values exactly, so OK
    // without a change gives back the same description.
    ViewFont Chosen() const;

    // What is selected now: the family, the style's name, the size's text.
    QString Family() const;
    QString StyleName() const;
    QString SizeText() const;

    // OK with a size that is not a number from 1 to 17 points says so and
    // keeps the dialog open.
    void done(int result) override;

  private:
    // The names of the core's four styles, in their order.
    static const char16_t* const kStyleNames[4];

    bool ParsedSize(double& points) const;
    void SelectSizeInList();
    void UpdateSample();

    ViewFont initial_;
    QString initialFamily_;
    int initialStyle_ = 0;
    double initialPoints_ = 0;

    QListWidget* familyList_ = nullptr;
    QListWidget* styleList_ = nullptr;
    QLineEdit* sizeEdit_ = nullptr;
    QListWidget* sizeList_ = nullptr;
    QLabel* sample_ = nullptr;
};

}  // namespace octile
