// A panel with bevels, a border, a caption and an optional transparent
// background, for the main window's pages and its header strip.
#pragma once

#include <QColor>
#include <QWidget>

namespace tolvan {

class TTolvanPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(Qt::Alignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(TPanelBevel BevelOuter READ BevelOuter WRITE SetBevelOuter)
    Q_PROPERTY(TPanelBevel BevelInner READ BevelInner WRITE SetBevelInner)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    enum class TPanelBevel { None, Lowered, Raised, Spaced };
    Q_ENUM(TPanelBevel)

    static QColor DefaultColor() { return QColor(238, 247, 255); }

    explicit TTolvanPanel(QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // Horizontal placement of the caption: Qt::AlignLeft, Qt::AlignRight or
    // Qt::AlignHCenter (mirrored for right-to-left layouts).
    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment alignment);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    bool Transparent() const { return transparent_; }
    // A transparent panel leaves its background unpainted, so what lies
    // beneath it on the parent shows through; bevels, border and caption
    // are still drawn. Changing it repaints the panel and its direct
    // children; setting the current value does nothing.
    void SetTransparent(bool transparent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    template <class T>
    void Change(T& member, const T& value);

    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    TPanelBevel bevelOuter_ = TPanelBevel::Raised;
    TPanelBevel bevelInner_ = TPanelBevel::None;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    QColor color_ = DefaultColor();
    bool transparent_ = false;
};

}  // namespace tolvan
