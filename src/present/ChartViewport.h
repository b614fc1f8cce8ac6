// The visible window of the Line window's chart over its loaded span: the
// time per division, the left and right edges (always ten divisions apart)
// and the rules of zooming and scrolling. Times are chart times (double,
// 10 ns ticks). A refused move returns false and changes nothing.
#pragma once

namespace qv {

class ChartViewport {
  public:
    // A new loaded span and the time of the frame the window centres on.
    void SetSpan(double start, double end, double frameTime);
    double SpanStart() const { return m_spanStart; }
    double SpanEnd() const { return m_spanEnd; }
    double FrameTime() const { return m_frameTime; }

    int Division() const { return m_division; }
    double PerDivision() const;
    double Left() const { return m_left; }
    double Right() const { return m_right; }
    double Centre() const { return (m_left + m_right) / 2; }

    // Chooses a division (clamped to 0..29) and places the window on the frame.
    void SetDivision(int index);
    // left = frame time - 5 divisions (not below 0), rounded down to the
    // decade unit; right = left + 10 divisions.
    void PositionOnFrame();
    // One division entry finer, down to "10ns".
    bool ZoomIn();
    // One entry coarser, while ten divisions do not exceed the loaded span.
    bool ZoomOut();
    // The fit division for the times of two frames around the frame.
    void Fit(double earlier, double later);

    // Back by 9 divisions, 1 division or one fine step; never starting before
    // the loaded span (the edge is then its start, rounded down).
    void PageBack() { MoveBack(9 * PerDivision()); }
    void StepBack() { MoveBack(PerDivision()); }
    void FineBack() { MoveBack(FineStep()); }
    // Forward while the right edge has not passed the loaded span's end.
    bool PageForward() { return MoveForward(9 * PerDivision()); }
    bool StepForward() { return MoveForward(PerDivision()); }
    bool FineForward() { return MoveForward(FineStep()); }
    // The arrow keys' step: a tenth of a division from 100 ticks on, a whole
    // division from 10, else 10 ticks.
    double FineStep() const;
    // Mouse wheel without Ctrl: `steps` > 0 (away from the user) moves
    // earlier, < 0 later, one division (at least 10 ticks) per step, never more
    // than a division beyond the loaded span.
    bool Wheel(int steps);
    // Shift+Left (-1) / Shift+Right (+1): the centre 50 divisions away,
    // kept within the capture's first and last record times.
    double ShiftedCentre(int direction, double captureFirst, double captureLast) const;

  private:
    void SetLeft(double left);
    void MoveBack(double by);
    bool MoveForward(double by);
    double RoundToDecade(double t) const;

    double m_spanStart = 0, m_spanEnd = 0, m_frameTime = 0;
    int m_division = 0;
    double m_left = 0, m_right = 0;
};

}  // namespace qv
