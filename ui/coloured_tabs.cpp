#include "ui/coloured_tabs.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSizePolicy>
#include <QToolTip>
#include <algorithm>
#include <vector>

namespace vindrel::ui {

namespace {
constexpr int kGap = 2;  // between tabs, pixels

// One tab as a screen reader meets it: a page tab named by its caption,
// selected when its page is shown, pressed to show its page.
class TabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TabAccessible(ColouredTabs* tabs, int index) : tabs_(tabs), index_(index) {}

  bool isValid() const override { return tabs_ != nullptr && index_ < tabs_->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(tabs_.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text kind) const override {
    return isValid() && kind == QAccessible::Name ? tabs_->tab_text(index_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = tabs_->tab_rect(index_);
    return {tabs_->mapToGlobal(r.topLeft()), r.size()};
  }
  QAccessible::Role role() const override { return QAccessible::PageTab; }
  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) return state;
    state.selectable = true;
    state.focusable = true;
    state.selected = index_ == tabs_->current();
    state.focused = state.selected && tabs_->hasFocus();
    state.invisible = !tabs_->isVisible();
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (isValid() && name == pressAction()) tabs_->set_current(index_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<ColouredTabs> tabs_;
  int index_;
};

// The tabs as a page tab list whose children are the tabs. The tabs'
// interfaces are made when first asked for and live as long as this one.
class ColouredTabsAccessible : public QAccessibleWidget {
 public:
  explicit ColouredTabsAccessible(ColouredTabs* tabs)
      : QAccessibleWidget(tabs, QAccessible::PageTabList) {}
  ~ColouredTabsAccessible() override {
    for (const QAccessible::Id id : children_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return tabs()->count(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= tabs()->count()) return nullptr;
    while (static_cast<int>(children_.size()) <= index) {
      const int next = static_cast<int>(children_.size());
      children_.push_back(
          QAccessible::registerAccessibleInterface(new TabAccessible(tabs(), next)));
    }
    return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      if (QAccessible::accessibleInterface(children_[i]) == child) return static_cast<int>(i);
    }
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint point = tabs()->mapFromGlobal(QPoint(x, y));
    for (int i = 0; i < tabs()->count(); ++i) {
      if (tabs()->tab_rect(i).contains(point)) return child(i);
    }
    return nullptr;
  }

 private:
  ColouredTabs* tabs() const { return static_cast<ColouredTabs*>(widget()); }
  mutable std::vector<QAccessible::Id> children_;
};

QAccessibleInterface* coloured_tabs_accessible(const QString&, QObject* object) {
  auto* tabs = qobject_cast<ColouredTabs*>(object);
  return tabs != nullptr ? new ColouredTabsAccessible(tabs) : nullptr;
}

}  // namespace

ColouredTabs::ColouredTabs(QWidget* parent) : QWidget(parent) {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  setFocusPolicy(Qt::StrongFocus);
  static const bool accessible = (QAccessible::installFactory(&coloured_tabs_accessible), true);
  Q_UNUSED(accessible);
}

int ColouredTabs::add_tab(const QString& text, const QColor& colour, const QColor& text_colour) {
  tabs_.push_back({text, colour, text_colour});
  if (current_ < 0) current_ = 0;
  updateGeometry();
  update();
  return count() - 1;
}

void ColouredTabs::set_tab_width(int width) {
  tab_width_ = std::max(40, width);
  updateGeometry();
  update();
}

void ColouredTabs::set_current(int index) {
  if (index < 0 || index >= count() || index == current_) return;
  current_ = index;
  update();
  if (QAccessible::isActive()) {
    // A screen reader follows the selected tab.
    QAccessibleEvent selected(this, hasFocus() ? QAccessible::Focus : QAccessible::Selection);
    selected.setChild(index);
    QAccessible::updateAccessibility(&selected);
  }
  emit current_changed(index);
}

int ColouredTabs::columns_for(int width) const {
  return std::max(1, (width + kGap) / (tab_width_ + kGap));
}

int ColouredTabs::row_height() const { return fontMetrics().height() + 10; }

int ColouredTabs::rows() const {
  const int columns = columns_for(width());
  return (count() + columns - 1) / columns;
}

int ColouredTabs::heightForWidth(int width) const {
  const int columns = columns_for(width);
  const int rows = (count() + columns - 1) / columns;
  return rows * (row_height() + kGap);
}

QSize ColouredTabs::sizeHint() const {
  const int width = 6 * (tab_width_ + kGap);
  return {width, heightForWidth(width)};
}

// The height follows the width (heightForWidth); a narrow window may cut rows.
QSize ColouredTabs::minimumSizeHint() const { return {tab_width_, row_height()}; }

QRect ColouredTabs::tab_rect(int index) const {
  const int columns = columns_for(width());
  // The tabs share the whole width.
  const int cell = (width() + kGap) / columns;
  const int row = index / columns;
  const int column = index % columns;
  return {column * cell, row * (row_height() + kGap), cell - kGap, row_height()};
}

int ColouredTabs::tab_at(const QPoint& point) const {
  for (int i = 0; i < count(); ++i) {
    if (tab_rect(i).contains(point)) return i;
  }
  return -1;
}

void ColouredTabs::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QFont normal = font();
  QFont bold = normal;
  bold.setBold(true);
  for (int i = 0; i < count(); ++i) {
    const Tab& tab = tabs_[static_cast<std::size_t>(i)];
    QRect r = tab_rect(i);
    const bool selected = i == current_;
    painter.fillRect(r, tab.colour);
    if (selected) {
      // A black frame with a white one inside, seen on every tab colour, and
      // a bar in the tab's text colour along its foot.
      painter.setPen(QPen(QColor(0, 0, 0), 2));
      painter.drawRect(r.adjusted(1, 1, -1, -1));
      painter.setPen(QColor(255, 255, 255));
      painter.drawRect(r.adjusted(2, 2, -3, -3));
      painter.fillRect(QRect(r.left() + 4, r.bottom() - 4, r.width() - 8, 2), tab.text_colour);
    } else {
      // Unselected tabs are a little muted, so the selected one stands out.
      painter.fillRect(r, QColor(255, 255, 255, 40));
    }
    painter.setFont(selected ? bold : normal);
    painter.setPen(tab.text_colour);
    const QRect text_area = r.adjusted(5, 0, -5, -2);
    const QString text =
        painter.fontMetrics().elidedText(tab.text, Qt::ElideRight, text_area.width());
    painter.drawText(text_area, Qt::AlignCenter, text);
    if (selected && hasFocus()) {
      painter.setPen(QPen(tab.text_colour, 1, Qt::DotLine));
      painter.drawRect(r.adjusted(4, 4, -5, -7));
    }
  }
}

void ColouredTabs::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int index = tab_at(event->position().toPoint());
  if (index >= 0) set_current(index);
}

void ColouredTabs::keyPressEvent(QKeyEvent* event) {
  const int columns = columns_for(width());
  int target = current_;
  switch (event->key()) {
    case Qt::Key_Left:
      target = current_ - 1;
      break;
    case Qt::Key_Right:
      target = current_ + 1;
      break;
    case Qt::Key_Up:
      target = current_ - columns;
      break;
    case Qt::Key_Down:
      target = current_ + columns;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = count() - 1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  set_current(std::clamp(target, 0, std::max(0, count() - 1)));
}

bool ColouredTabs::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = tab_at(help->pos());
    if (index >= 0) {
      QToolTip::showText(help->globalPos(), tab_text(index), this, tab_rect(index));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace vindrel::ui
