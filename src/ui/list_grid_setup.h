#pragma once

class AppContext;
class DataGrid;

// What every list window does when it prepares its grid: offer the custom
// filter only when the settings switch it on, then select the first row.
void prepareListGrid(DataGrid& grid, const AppContext& context);
