# Writes OUT: the driver's requests.c (IN) with INIT's base check made to
# pass every base. Stops when the check is not found, so that the planted
# fault cannot silently become the unchanged file.
file(READ ${IN} text)
set(check "if (!base_allowed(get_u32(buffer)))")
string(FIND "${text}" "${check}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "plant_any_base: INIT's base check not found in ${IN}")
endif()
string(REPLACE "${check}" "if (0)" text "${text}")
file(WRITE ${OUT} "${text}")
