#pragma once
// The ROM list of the main window: one model over the catalogue, shown in four styles (big
// icons, small icons, list, report with eight columns). Rows are read from the catalogue when
// drawn; the model keeps only each row's catalogue position and whether its file was present
// at the last fill.

#include <QAbstractTableModel>
#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QListView;
class QTreeView;
class QStackedWidget;
class QAbstractItemView;
class QItemSelectionModel;
class QTimer;

class RomListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 8;
  explicit RomListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Rebuilds the rows from the catalogue: one per filled slot, with the file-presence test.
  // Returns the number of slots walked.
  int Fill();
  void Clear();
  void RemoveRow(int row);          // the row goes; later rows keep pointing at their ROMs
  int RomPosition(int row) const;   // catalogue position of a row, -1 when out of range
  bool FilePresent(int row) const;

  // The rename handler: gets the row and the edited text, may change the text; the row's
  // label is what the catalogue then holds.
  std::function<void(int row, QString& text)> OnEdited;
  void SetIcons(const QIcon& present, const QIcon& missing);

private:
  struct Row {
    int32_t position;
    bool present;
  };
  std::vector<Row> rows;
  QIcon icons[2];
};

class TRomListView : public QWidget {
  Q_OBJECT
public:
  static const int DesignWidths[RomListModel::ColumnCount];
  explicit TRomListView(QWidget* parent = nullptr);

  RomListModel* Model() const { return model; }
  QListView* IconView() const { return iconView; }   // big icons, small icons, list
  QTreeView* ReportView() const { return reportView; }
  QAbstractItemView* CurrentView() const;

  // 0 big icons, 1 small icons, 2 list, 3 report; other values are kept and shown as report.
  int ViewStyle() const { return style; }
  void SetViewStyle(int value);

  // Drops a rename that a click on the selected row is about to start (a launch came first).
  void CancelPendingRename();
  int SelectedRow() const;           // first selected row, -1 when none
  void SelectRow(int row);           // selects and shows one row (-1 clears the selection)
  int ColumnWidth(int c) const;
  void SetColumnWidth(int c, int width);

  bool HotTrack() const { return hotTrack; }
  void SetHotTrack(bool on);         // hover highlight with the hand-point cursor

  // The list's font and its colour as a platform colour value (red in the lowest byte;
  // values with the top bit set name system colours and show in the default text colour).
  QFont ListFont() const;
  void SetListFont(const QFont& f);
  int32_t FontColor() const { return fontColor; }
  void SetFontColor(int32_t value);

  // Events the main window binds to its handlers.
  std::function<void(int column)> OnColumnClick;
  std::function<void()> OnDblClick;
  std::function<void(Qt::MouseButton)> OnMouseUp;
  std::function<void(const QPoint& globalPos)> OnContextMenu;
  std::function<void()> OnSelectionChanged;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void BindView(QAbstractItemView* v);
  void ApplyIconStyle();
  // Renaming by a click on the selected row, started only once the click has proved not to be
  // the first half of a double click (which launches instead).
  void MousePressed(QAbstractItemView* view, const QPoint& at);
  void MouseReleased(QAbstractItemView* view, const QPoint& at);
  void StartPendingRename();
  QTimer* renameTimer;
  QAbstractItemView* renameView = nullptr;
  QPersistentModelIndex renameIndex;
  RomListModel* model;
  QItemSelectionModel* selection;
  QStackedWidget* stack;
  QListView* iconView;
  QTreeView* reportView;
  int style = 3;
  bool hotTrack = false;
  int32_t fontColor = 0;
};
