// The output display's chart written to files: PNG images at a size and
// resolution, SVG drawings and PDF pages, all painted by the chart's one routine.
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <cmath>

#include "core/exceptions.hpp"
#include "ui/output_chart.hpp"

namespace vindrel::ui {
namespace {

constexpr double kScreenDpi = 96.0;

}  // namespace

std::optional<ImageSize> parse_image_size(const QString& text, int default_dpi) {
  static const QRegularExpression pattern(QStringLiteral(
      R"(^\s*(\d+)\s*[xX\x{00d7}]\s*(\d+)\s*(?:(?:at|@|,)?\s*(\d+)\s*(?:dpi)?)?\s*$)"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  ImageSize size;
  size.pixels = QSize(match.captured(1).toInt(), match.captured(2).toInt());
  size.dpi = match.captured(3).isEmpty() ? default_dpi : match.captured(3).toInt();
  const auto in = [](int v, int low, int high) { return v >= low && v <= high; };
  if (!in(size.pixels.width(), 100, 10000) || !in(size.pixels.height(), 100, 10000) ||
      !in(size.dpi, 50, 1200)) {
    return std::nullopt;
  }
  return size;
}

void OutputChart::render_chart(QPainter& painter, const QRectF& target, double scale,
                               double detail) const {
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(scale, scale);
  paint(painter, target.size() / scale, detail * scale, false);
  painter.restore();
}

void OutputChart::save_png(const QString& file_name, const ImageSize& size) const {
  QImage image(size.pixels, QImage::Format_RGB32);
  const int dots_per_metre = static_cast<int>(std::lround(size.dpi / 0.0254));
  image.setDotsPerMeterX(dots_per_metre);
  image.setDotsPerMeterY(dots_per_metre);
  {
    QPainter painter(&image);
    render_chart(painter, QRectF(QPointF(0, 0), size.pixels), size.dpi / kScreenDpi);
  }
  if (!image.save(file_name, "PNG")) {
    throw EInOutError("Could not write the image file", file_name.toStdString());
  }
}

void OutputChart::save_svg(const QString& file_name, QSize size) const {
  if (size.isEmpty()) size = this->size();
  QSvgGenerator generator;
  generator.setFileName(file_name);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  // At 96 dpi the drawing's size in millimetres is its size in CSS pixels.
  generator.setResolution(96);
  generator.setTitle(title_);
  {
    QPainter painter;
    if (!painter.begin(&generator)) {
      throw EInOutError("Could not write the image file", file_name.toStdString());
    }
    // Two columns per pixel: zooming into the drawing shows more detail.
    render_chart(painter, QRectF(QPointF(0, 0), size), 1.0, 2.0);
  }
  if (!QFileInfo(file_name).isFile()) {
    throw EInOutError("Could not write the image file", file_name.toStdString());
  }
}

void OutputChart::save_pdf(const QString& file_name) const {
  QPdfWriter writer(file_name);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageOrientation(QPageLayout::Landscape);
  writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  writer.setTitle(title_);
  writer.setCreator(QStringLiteral("Vindrel"));
  QPainter painter;
  if (!painter.begin(&writer)) {
    throw EInOutError("Could not write the PDF file", file_name.toStdString());
  }
  // The chart fills the page inside its margins, laid out at the page's size.
  const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
  render_chart(painter, page, writer.resolution() / kScreenDpi,
               2.0 * kScreenDpi / writer.resolution());
}

}  // namespace vindrel::ui
