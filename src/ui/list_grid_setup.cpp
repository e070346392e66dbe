#include "ui/list_grid_setup.h"

#include "data/app_context.h"
#include "ui/data_grid.h"

void prepareListGrid(DataGrid& grid, const AppContext& context) {
    grid.setCustomFilterEnabled(context.showCustomFilter());
    if (grid.model()->rowCount() > 0) {
        grid.view()->selectRow(0);
    }
}
