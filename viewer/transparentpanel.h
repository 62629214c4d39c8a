#pragma once
// A panel whose background can let what lies behind it show through: with
// Transparent (the default) it paints no bevel and no background, only its
// caption; without, it paints as an ordinary raised panel. The install
// window's size options are such panels, each holding a check box and a label.
#include <QWidget>

class TTransparentPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TTransparentPanel(QWidget* parent = nullptr);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    Qt::Alignment Alignment = Qt::AlignHCenter;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool FTransparent = true;
    QString FCaption;
};
