# Warnings, sanitizers and the common compile settings of every target.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wcast-align -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(ZV_WERROR)
  add_compile_options(-Werror)
endif()

if(ZV_SANITIZE)
  string(REPLACE ";" "," _zv_san "${ZV_SANITIZE}")
  add_compile_options(-fsanitize=${_zv_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_zv_san})
endif()

find_package(Threads REQUIRED)
link_libraries(Threads::Threads)
