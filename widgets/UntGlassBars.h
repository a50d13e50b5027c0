#pragma once
// The light blue tool bar strip and the pale information bar strip; both hold child controls.
// They span their parent's width in a layout (expanding horizontally, fixed height).

#include "widgets/UntGlassControl.h"

#include <QImage>

class TGlassToolBar : public TGlassControl {
  Q_OBJECT

 public:
  explicit TGlassToolBar(QWidget *parent = nullptr);

  bool showTopBorder() const { return fShowTopBorder; }
  void setShowTopBorder(bool value);

  // The picture at the given device pixel ratio, drawn in device pixels.
  QImage renderImage(qreal devicePixelRatio) const;

  QSize sizeHint() const override { return {300, 31}; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  bool fShowTopBorder = false;
};

class TGlassInformationBar : public TGlassControl {
  Q_OBJECT

 public:
  explicit TGlassInformationBar(QWidget *parent = nullptr);

  // The picture at the given device pixel ratio, drawn in device pixels.
  QImage renderImage(qreal devicePixelRatio) const;

  QSize sizeHint() const override { return {300, 53}; }

 protected:
  void paintEvent(QPaintEvent *event) override;
};
