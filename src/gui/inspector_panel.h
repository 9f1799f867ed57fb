#pragma once
// InspectorPanel: the data inspector docked beside the dump. A table of two
// columns, label and value, filled from the view's InspectorLines(); a value
// edited in place is written through the view, and one the view refuses
// shows its old text again.
#include <QDockWidget>
#include <cstddef>

class QKeyEvent;
class QTableWidget;

namespace octile {

class COctileView;

class InspectorPanel : public QDockWidget {
    Q_OBJECT
  public:
    enum Column { kLabelColumn = 0, kValueColumn = 1 };

    explicit InspectorPanel(COctileView& view, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    // Brings the texts up to the caret and the file; a value being edited is
    // left alone.
    void Refresh();
    // True when a key pressed in widget belongs to the panel rather than to
    // the window's accelerators: every key while a value is edited, the
    // table's own moving keys otherwise.
    bool OwnsKey(const QWidget* widget, const QKeyEvent& event) const;

  private:
    void OnItemChanged(int row, int column);
    // Sets every value cell to the view's text, also while one is edited.
    void FillValues();
    // True while a value cell's editor is open.
    bool Editing() const;
    // The width that shows the longest label and value.
    int FittingWidth() const;

    COctileView& view_;
    QTableWidget* table_ = nullptr;
    bool filling_ = false;
};

}  // namespace octile
