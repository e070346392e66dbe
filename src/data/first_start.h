#pragma once

class AppContext;

// Prepares an empty program folder: config.ini, the system database with
// one account book "默认帐册", that book's file, and the picture folder.
class FirstStart {
public:
    // True when the folder still needs it (no system database).
    static bool isNeeded(const AppContext& context);
    // Does the work; returns false, touching nothing, when the folder is
    // already prepared.
    static bool run(AppContext& context);
};
