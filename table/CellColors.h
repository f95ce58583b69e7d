#pragma once

// Backgrounds of the cell states, shared by the table model and the legend of
// the main window so that both always agree.
namespace CellColors {

inline constexpr char reserved[] = "#d3d3d3";
inline constexpr char changed[] = "#a8e4a0";
inline constexpr char readOnly[] = "#fcdd76";
inline constexpr char snapshotDiffers[] = "#f4b6c2";

} // namespace CellColors
