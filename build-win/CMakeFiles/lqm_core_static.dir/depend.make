# Empty dependencies file for lqm_core_static.
# This may be replaced when dependencies are built.
