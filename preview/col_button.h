#pragma once
// A push button that paints its face in one of three state colours chosen by its owner:
// light red (on), light green (armed), pale (idle), or, with colour index 0, the plain face.
// A flat frame; the caption moves one pixel right and down while pressed and is embossed when
// the button is disabled; no focus rectangle. Otherwise an ordinary push button.

#include <QPushButton>

#include <array>
#include <cstdint>

namespace vantor {

// Colours are 24-bit values written 0x00BBGGRR.
inline constexpr uint32_t kColourOn = 0x00B8B8FC;     // light red
inline constexpr uint32_t kColourArmed = 0x00B8FCB8;  // light green
inline constexpr uint32_t kColourIdle = 0x00ECECFC;   // pale, near white

inline constexpr int32_t kColourIndexNone = 0;
inline constexpr int32_t kColourIndexOn = 1;
inline constexpr int32_t kColourIndexArmed = 2;
inline constexpr int32_t kColourIndexIdle = 3;

class CColButton : public QPushButton {
    Q_OBJECT

public:
    explicit CColButton(QWidget* parent = nullptr);

    // The owner sets these and then calls update(); changing colour_index alone repaints nothing.
    int32_t colour_index = kColourIndexNone;  // 0: no fill; 1 to 3: face_colours entry
    int32_t press_index = 0;                  // non-zero: a left press sets colour_index to it
    std::array<uint32_t, 4> face_colours{};   // entries 1 to 3 are used

    // The colour set every owner installs: on, armed, idle.
    void InstallStateColours();

signals:
    // A right-button release; no owner acts on it.
    void rightClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawCaption(QPainter& painter, const QRect& face);
};

// A 0x00BBGGRR colour as Qt's.
QColor FromColorref(uint32_t colorref);

}  // namespace vantor
