#include "gui/qt_translations.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>

namespace octile {

bool InstallQtTranslations() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    // Owned by the application, so a later application loads its own.
    static QPointer<QTranslator> installed;
    if (installed && installed->parent() == app) return true;
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

void SetMessageBoxButtonTexts(QMessageBox& box) {
    static const struct {
        QMessageBox::StandardButton button;
        const char16_t* text;
    } kTexts[] = {
        {QMessageBox::Ok, u"OK"},
        {QMessageBox::Cancel, u"ｷｬﾝｾﾙ"},
        {QMessageBox::Yes, u"はい(&Y)"},
        {QMessageBox::No, u"いいえ(&N)"},
    };
    for (const auto& [button, text] : kTexts) {
        if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf16(text));
    }
}

}  // namespace octile
