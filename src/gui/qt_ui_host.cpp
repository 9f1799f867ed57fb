#include "gui/qt_ui_host.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <variant>

#include "app/app.h"
#include "gui/dialogs.h"
#include "gui/dump_widget.h"
#include "gui/font_dialog.h"
#include "gui/main_window.h"
#include "gui/picture_window.h"
#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/report_window.h"
#include "resources/resources.h"
#include "settings/template_file.h"
#include "view/view_font.h"

namespace octile {

namespace {

int ScoreJapaneseFamily(const QString& family) {
    int score = 0;
    if (QFontDatabase::isFixedPitch(family)) score += 4;
    if (family.contains(QLatin1String("Mono"), Qt::CaseInsensitive)) score += 2;
    if (family.endsWith(QLatin1String(" JP")) || family.contains(QLatin1String("Gothic")))
        score += 1;
    return score;
}

}  // namespace

QString JapaneseMonospaceFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
        QString best;
        int bestScore = -1;
        for (const QString& f : families) {
            const int score = ScoreJapaneseFamily(f);
            if (score > bestScore) {
                best = f;
                bestScore = score;
            }
        }
        if (best.isEmpty()) best = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        return best;
    }();
    return family;
}

QFont MakeViewFont(const ViewFont& font) {
    const QString face = ToQString(font.faceName);
    QFont f;
    if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
        f.setFamily(face);
    } else {
        f.setFamily(JapaneseMonospaceFamily());
    }
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(ViewFontPixelSize(font));
    f.setWeight(static_cast<QFont::Weight>(ViewFontWeight(font)));
    f.setItalic(font.italic != 0);
    return f;
}

int ViewLineHeight(const QFontMetrics& metrics) {
    return std::max(1, metrics.height() + std::max(0, metrics.leading()));
}

QStringList ToQtNameFilters(const std::u16string& filter) {
    QStringList result;
    for (const FilterEntry& entry : SplitFileFilter(filter)) {
        QStringList patterns;
        for (const std::u16string& p : entry.patterns) patterns << ToQString(p);
        result << ToQString(entry.description) + QStringLiteral(" (") +
                      patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
    // Qt's own dialog speaks Japanese with the application; a desktop's
    // chooser would follow the desktop's language instead.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(ToQtNameFilters(request.filter));
    dialog.setDefaultSuffix(ToQString(request.defaultExtension));
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.initialPath.empty()) {
        const QFileInfo initial(PathToQString(request.initialPath));
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            if (initial.dir().exists()) dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
    }
    // Last: the dialog puts its own default title back when the mode changes
    // while the title still reads like that default (as "開く" does).
    dialog.setWindowTitle(ToQString(request.title));
}

QtUiHost::QtUiHost() = default;

QtUiHost::~QtUiHost() {
    DestroyViewWindows();
    StopTimers();
    while (waitCursorDepth_ > 0) EndWaitCursor();
}

void QtUiHost::SetMainWindow(MainWindow* window) { mainWindow_ = window; }

void QtUiHost::SetMessagePane(QLabel* pane) { messagePane_ = pane; }

void QtUiHost::SetDumpWidget(DumpWidget* dump) {
    if (dump_ != dump) StopTimers();
    dump_ = dump;
}

QWidget* QtUiHost::DialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow_.data();
}

int QtUiHost::MessageBox(const std::u16string& text, uint32_t type) {
    QMessageBox box(DialogParent());
    box.setWindowTitle(ToQString(LoadString(AFX_IDS_APP_TITLE)));
    box.setText(ToQString(text));
    switch (type & 0xF0) {
        case MB_ICONHAND:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONASTERISK:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (type & 0x0F) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    SetMessageBoxButtonTexts(box);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return (type & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    }
}

void QtUiHost::Beep() { QApplication::beep(); }

void QtUiHost::SetMessageText(const std::u16string& text) {
    if (messagePane_) messagePane_->setText(ToQString(text));
}

void QtUiHost::PumpMessages() { QCoreApplication::processEvents(); }

void QtUiHost::PostToWindow(std::function<void()> task) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

void QtUiHost::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++waitCursorDepth_;
}

void QtUiHost::EndWaitCursor() {
    if (waitCursorDepth_ == 0) return;
    --waitCursorDepth_;
    QApplication::restoreOverrideCursor();
}

int QtUiHost::DoModal(DialogRef dialog) {
    QWidget* parent = DialogParent();
    return std::visit([&](auto* d) { return RunDialog(*d, *this, parent); }, dialog);
}

bool QtUiHost::GetFileName(FileDialogRequest& request) {
    QFileDialog dialog(DialogParent());
    ConfigureFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    request.chosenPath = QStringToPath(files.first());
    return true;
}

bool QtUiHost::BrowseForFolder(std::string& folder) {
    const QString chosen = QFileDialog::getExistingDirectory(
        DialogParent(), QString(), PathToQString(folder),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) return false;
    folder = QStringToPath(chosen);
    return true;
}

void QtUiHost::SetClipboardText(const std::u16string& text) {
    QGuiApplication::clipboard()->setText(ToQString(text));
}

std::u16string QtUiHost::GetClipboardText() { return ToU16(QGuiApplication::clipboard()->text()); }

void QtUiHost::OpenWithShell(const std::string& path) {
    if (!mainWindow_) return;
    const QString file = PathToQString(path);
    // A missing file would only make the desktop show an error of its own.
    if (!QFileInfo::exists(file)) return;
    // Without the desktop's opener (xdg-open) the help texts are shown in a
    // window of the program's own.
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
        return;
    }
    ShowTextFile(file);
}

void QtUiHost::ShowTextFile(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return;
    auto* window = new QDialog(mainWindow_);
    window->setObjectName(QStringLiteral("textFileWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QFileInfo(file).fileName());
    auto* text = new QPlainTextEdit(window);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(QString::fromUtf8(in.read(4 * 1024 * 1024)));  // help texts are small
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, window);
    close->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    QObject::connect(close, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    layout->addWidget(close);
    window->resize(720, 520);
    window->show();
    text->setFocus();
}

void QtUiHost::CloseMainWindow() {
    if (mainWindow_) mainWindow_->close();
}

void QtUiHost::UpdateTitle() {
    if (mainWindow_ && app_) mainWindow_->setWindowTitle(ToQString(app_->WindowTitle()));
}

void QtUiHost::RecalcFrameWidth() {
    if (mainWindow_) mainWindow_->RecalcFrameWidth();
}

void QtUiHost::RepaintView() {
    if (dump_) dump_->viewport()->repaint();
}

void QtUiHost::UpdateInversions() {
    if (dump_) dump_->viewport()->update();
}

void QtUiHost::SetScrollRange(int32_t minimum, int32_t maximum) {
    if (dump_) dump_->SetScrollRange(minimum, maximum);
}

void QtUiHost::SetScrollPos(int32_t position) {
    if (dump_) dump_->SetScrollPos(position);
}

void QtUiHost::ShowScrollBar(bool show) {
    if (dump_) dump_->ShowScrollBar(show);
}

// Qt keeps sending the moves to the widget the button was pressed in for as
// long as it is held, which is all the capture is for.
void QtUiHost::SetCapture() {}

void QtUiHost::ReleaseCapture() {}

void QtUiHost::SetTimer(uint32_t id, uint32_t milliseconds) {
    std::unique_ptr<QTimer>& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, id] {
            if (dump_) dump_->view().OnTimer(id);
        });
    }
    timer->start(static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX)));
}

void QtUiHost::KillTimer(uint32_t id) {
    // Stopped, not destroyed: this may run inside the timer's own tick.
    auto it = timers_.find(id);
    if (it != timers_.end()) it->second->stop();
}

bool QtUiHost::IsTimerActive(uint32_t id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second->isActive();
}

void QtUiHost::StopTimers() {
    for (auto& [id, timer] : timers_) timer->stop();
}

Point QtUiHost::GetCursorPos() {
    if (!dump_) return {};
    const QPoint p = dump_->PointerPosition();
    return {p.x(), p.y()};
}

int32_t QtUiHost::GetWheelScrollLines() { return QApplication::wheelScrollLines(); }

FontMetrics QtUiHost::MeasureFont(const ViewFont& font) {
    const QFontMetrics metrics(MakeViewFont(font));
    FontMetrics m;
    m.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m.lineHeight = ViewLineHeight(metrics);
    return m;
}

bool QtUiHost::ChooseColor(uint32_t& colour) {
    const QColor chosen = QColorDialog::getColor(ToQColor(colour), DialogParent(), QString(),
                                                 QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid()) return false;
    colour = FromQColor(chosen);
    return true;
}

bool QtUiHost::ChooseFont(ViewFont& font) {
    ViewFontDialog dialog(font, DialogParent());
    if (dialog.exec() != QDialog::Accepted) return false;
    // The view cuts the face name to the length it keeps.
    font = dialog.Chosen();
    return true;
}

void QtUiHost::ShowReport(const ReportWindowData& report) {
    if (!reportWindow_) reportWindow_ = std::make_unique<CTextWnd>();
    reportWindow_->ShowReport(report);
}

void QtUiHost::ShowPicture(const CDib& dib) {
    if (!pictureWindow_) pictureWindow_ = std::make_unique<CDibWnd>();
    pictureWindow_->ShowPicture(dib);
}

void QtUiHost::ClosePicture() {
    if (pictureWindow_) pictureWindow_->close();
}

void QtUiHost::ShowInspector(bool on) {
    if (mainWindow_) mainWindow_->ShowInspector(on);
}

void QtUiHost::DestroyViewWindows() {
    reportWindow_.reset();
    pictureWindow_.reset();
}

}  // namespace octile
