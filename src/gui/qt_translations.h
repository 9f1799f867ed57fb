#pragma once
// Qt's own texts in Japanese: the buttons, labels and questions Qt draws in
// its standard dialogs (file, colour, message boxes), whatever the locale.
class QMessageBox;

namespace octile {

// Loads Qt's Japanese catalogue (qtbase_ja.qm from Qt's translations folder)
// into the running application. Does the work once per application; later
// calls only report whether it was loaded. Without the catalogue Qt's texts
// stay English and false is returned.
bool InstallQtTranslations();

// Names the standard buttons of a message box the way the program's own
// dialogs and messages do: "OK", "ｷｬﾝｾﾙ", "はい(&Y)", "いいえ(&N)".
void SetMessageBoxButtonTexts(QMessageBox& box);

}  // namespace octile
