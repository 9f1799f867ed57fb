#include "gui/font_dialog.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/qt_ui_host.h"
#include "view/view_font.h"

namespace octile {

namespace {

// The characters a dump line is made of: hexadecimal digits, addresses and
// the printable ASCII shown in the character column.
constexpr char16_t kLatinProbe[] = u"0123456789ABCDEFabcdefMWimw.:-_ |";

bool Offered(const QString& family) {
    return !family.startsWith(QLatin1Char('@')) && !QFontDatabase::isPrivateFamily(family);
}

}  // namespace

bool HasOneLatinAdvance(const QString& family) {
    QFont font(family);
    // Large enough that hinting cannot hide a difference; no fallback font
    // may stand in for a missing glyph.
    font.setPixelSize(48);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QFontMetricsF metrics(font);
    const QString probe = QString::fromUtf16(kLatinProbe);
    const qreal advance = metrics.horizontalAdvance(probe.front());
    if (advance <= 0) return false;
    return std::all_of(probe.begin(), probe.end(), [&](QChar c) {
        return metrics.inFont(c) && std::abs(metrics.horizontalAdvance(c) - advance) < 0.5;
    });
}

QStringList DumpFontFamilies() {
    QStringList result;
    for (const QString& family : QFontDatabase::families()) {
        if (Offered(family) && QFontDatabase::isFixedPitch(family)) result << family;
    }
    // Japanese monospace fonts are dual width, so the database does not call
    // them fixed pitch; their Latin half is what the dump's grid needs.
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (Offered(family) && !result.contains(family) && HasOneLatinAdvance(family))
            result << family;
    }
    result.sort(Qt::CaseInsensitive);
    return result;
}

const char16_t* const ViewFontDialog::kStyleNames[4] = {u"標準", u"斜体", u"太字", u"太字 斜体"};

ViewFontDialog::ViewFontDialog(const ViewFont& initial, QWidget* parent)
    : QDialog(parent), initial_(initial) {
    setObjectName(QStringLiteral("fontDialog"));
    setWindowTitle(QStringLiteral("ﾌｫﾝﾄの指定"));

    familyList_ = new QListWidget(this);
    familyList_->setObjectName(QStringLiteral("familyList"));
    styleList_ = new QListWidget(this);
    styleList_->setObjectName(QStringLiteral("styleList"));
    sizeEdit_ = new QLineEdit(this);
    sizeEdit_->setObjectName(QStringLiteral("sizeEdit"));
    sizeList_ = new QListWidget(this);
    sizeList_->setObjectName(QStringLiteral("sizeList"));

    auto* grid = new QGridLayout;
    const auto addLabel = [&](const QString& text, const char* name, QWidget* buddy, int column) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setBuddy(buddy);
        grid->addWidget(label, 0, column);
    };
    addLabel(QStringLiteral("ﾌｫﾝﾄ名(&F):"), "familyLabel", familyList_, 0);
    addLabel(QStringLiteral("ｽﾀｲﾙ(&Y):"), "styleLabel", styleList_, 1);
    addLabel(QStringLiteral("ｻｲｽﾞ(&S):"), "sizeLabel", sizeEdit_, 2);
    grid->addWidget(familyList_, 1, 0, 2, 1);
    grid->addWidget(styleList_, 1, 1, 2, 1);
    grid->addWidget(sizeEdit_, 1, 2);
    grid->addWidget(sizeList_, 2, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 1);

    auto* sampleBox = new QGroupBox(QStringLiteral("ｻﾝﾌﾟﾙ"), this);
    sampleBox->setObjectName(QStringLiteral("sampleBox"));
    sample_ = new QLabel(QStringLiteral("AaBb01 あぁアァ亜宇"), sampleBox);
    sample_->setObjectName(QStringLiteral("sample"));
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setMinimumHeight(48);
    (new QVBoxLayout(sampleBox))->addWidget(sample_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addWidget(sampleBox);
    layout->addLayout(buttons);

    // The face the view draws with: the stored one, or the stand-in when it
    // is not installed. It is offered even when it would not be listed.
    QStringList families = DumpFontFamilies();
    const QString current = MakeViewFont(initial).family();
    const auto same = [&](const QString& f) {
        return f.compare(current, Qt::CaseInsensitive) == 0;
    };
    if (std::none_of(families.begin(), families.end(), same)) {
        families << current;
        families.sort(Qt::CaseInsensitive);
    }
    familyList_->addItems(families);
    for (int row = 0; row < familyList_->count(); ++row) {
        if (same(familyList_->item(row)->text())) familyList_->setCurrentRow(row);
    }
    initialFamily_ = Family();

    for (const char16_t* name : kStyleNames) styleList_->addItem(QString::fromUtf16(name));
    initialStyle_ = ViewFontStyleIndex(initial);
    styleList_->setCurrentRow(initialStyle_);

    // Shown in whole points, as the sizes are offered.
    initialPoints_ = ShownFontPoints(initial, logicalDpiY());
    QList<int> sizes;
    for (int points : QFontDatabase::standardSizes()) {
        if (IsAcceptedFontPoints(points)) sizes << points;
    }
    if (initialPoints_ <= kMaxFontPoints && !sizes.contains(int(initialPoints_))) {
        sizes << int(initialPoints_);
        std::sort(sizes.begin(), sizes.end());
    }
    for (int points : sizes) sizeList_->addItem(QString::number(points));
    sizeEdit_->setText(QString::number(initialPoints_));
    SelectSizeInList();

    connect(familyList_, &QListWidget::currentRowChanged, this, [this] { UpdateSample(); });
    connect(styleList_, &QListWidget::currentRowChanged, this, [this] { UpdateSample(); });
    connect(sizeList_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item == nullptr || item->text() == sizeEdit_->text().trimmed()) return;
        sizeEdit_->setText(item->text());
        sizeEdit_->selectAll();
    });
    connect(sizeEdit_, &QLineEdit::textChanged, this, [this] {
        SelectSizeInList();
        UpdateSample();
    });
    UpdateSample();
    familyList_->setFocus();
}

QString ViewFontDialog::Family() const {
    const QListWidgetItem* item = familyList_->currentItem();
    return item == nullptr ? QString() : item->text();
}

QString ViewFontDialog::StyleName() const {
    const QListWidgetItem* item = styleList_->currentItem();
    return item == nullptr ? QString() : item->text();
}

QString ViewFontDialog::SizeText() const { return sizeEdit_->text(); }

bool ViewFontDialog::ParsedSize(double& points) const {
    bool ok = false;
    points = sizeEdit_->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(points);
}

ViewFont ViewFontDialog::Chosen() const {
    FontChoice choice;
    const QString family = Family();
    if (!family.isEmpty() && family != initialFamily_) choice.face = ToU16(family);
    if (styleList_->currentRow() != initialStyle_) choice.style = styleList_->currentRow();
    double points = 0;
    if (ParsedSize(points) && points != initialPoints_) choice.points = points;
    return ApplyFontChoice(initial_, choice, logicalDpiY());
}

void ViewFontDialog::SelectSizeInList() {
    const QList<QListWidgetItem*> found =
        sizeList_->findItems(sizeEdit_->text().trimmed(), Qt::MatchExactly);
    const QSignalBlocker block(sizeList_);
    if (found.isEmpty()) {
        sizeList_->setCurrentRow(-1);
    } else {
        sizeList_->setCurrentItem(found.front());
        sizeList_->scrollToItem(found.front());
    }
}

void ViewFontDialog::UpdateSample() {
    double points = 0;
    // While the size typed is not one it can have, the sample keeps its last.
    if (!ParsedSize(points) || !IsAcceptedFontPoints(points)) return;
    sample_->setFont(MakeViewFont(Chosen()));
}

void ViewFontDialog::done(int result) {
    if (result == QDialog::Accepted) {
        double points = 0;
        if (!ParsedSize(points) || !IsAcceptedFontPoints(points)) {
            QMessageBox box(QMessageBox::Warning, windowTitle(),
                            QStringLiteral("サイズは 1 から 17 ポイントの間で指定してください。"),
                            QMessageBox::Ok, this);
            SetMessageBoxButtonTexts(box);
            box.exec();
            sizeEdit_->setFocus();
            sizeEdit_->selectAll();
            return;
        }
    }
    QDialog::done(result);
}

}  // namespace octile
