# Warnings for every target of this project; third-party code is added
# before this runs or through its own targets, so it stays untouched.
add_compile_options(-Wall -Wextra -Wshadow -Wformat=2)
if(QUILLET_WERROR)
  add_compile_options(-Werror)
endif()
