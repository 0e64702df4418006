file(REMOVE_RECURSE
  "lib/liblqm_core_static.a"
)
