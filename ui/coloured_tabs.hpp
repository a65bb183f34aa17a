// A page selector whose tabs each have their own colour and text colour,
// wrapped into as many rows as the width needs, so that every page of a
// window with fifty pages is in sight at once. The selected tab is drawn
// raised with a bold caption; the arrow keys move between tabs. A screen
// reader meets it as a page tab list with one named tab per page.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

namespace vindrel::ui {

class ColouredTabs : public QWidget {
  Q_OBJECT
 public:
  explicit ColouredTabs(QWidget* parent = nullptr);

  // Adds a tab and returns its index.
  int add_tab(const QString& text, const QColor& colour, const QColor& text_colour);
  // The width a tab is given at least, in pixels.
  void set_tab_width(int width);
  int tab_width() const noexcept { return tab_width_; }

  int count() const noexcept { return static_cast<int>(tabs_.size()); }
  int current() const noexcept { return current_; }
  void set_current(int index);
  QString tab_text(int index) const { return tabs_.at(static_cast<std::size_t>(index)).text; }
  QColor tab_colour(int index) const { return tabs_.at(static_cast<std::size_t>(index)).colour; }
  QColor tab_text_colour(int index) const {
    return tabs_.at(static_cast<std::size_t>(index)).text_colour;
  }
  // Where tab `index` is drawn at the current width.
  QRect tab_rect(int index) const;
  int rows() const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void current_changed(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Tab {
    QString text;
    QColor colour;
    QColor text_colour;
  };
  int columns_for(int width) const;
  int row_height() const;
  int tab_at(const QPoint& point) const;

  std::vector<Tab> tabs_;
  int tab_width_ = 150;
  int current_ = -1;
};

}  // namespace vindrel::ui
