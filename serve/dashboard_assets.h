#pragma once
// The dashboard page and the chart script, built into the program so that the page works
// without internet access and without the script's package installed where the program runs.
#include <string_view>

std::string_view DashboardHtml();
// Chart.js from the build machine's libjs-chart.js; empty when it was not installed there.
std::string_view ChartScript();
