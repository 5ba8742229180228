# Writes OUT: a C++ file whose functions return the dashboard page (HTML) and the chart script
# (CHART, may be empty) as raw string literals.
set(_delimiter "zvasset")
file(READ "${HTML}" _html)
set(_chart "")
if(CHART AND EXISTS "${CHART}")
  file(READ "${CHART}" _chart)
endif()
foreach(_text _html _chart)
  string(FIND "${${_text}}" ")${_delimiter}\"" _found)
  if(NOT _found EQUAL -1)
    message(FATAL_ERROR "embed_assets: ${_text} holds the raw string's end")
  endif()
endforeach()
file(WRITE "${OUT}" "// Made by serve/embed_assets.cmake from serve/dashboard.html and chart.js.\n"
  "#include \"serve/dashboard_assets.h\"\n\n"
  "std::string_view DashboardHtml() {\n  return R\"${_delimiter}(${_html})${_delimiter}\";\n}\n\n"
  "std::string_view ChartScript() {\n  return R\"${_delimiter}(${_chart})${_delimiter}\";\n}\n")
