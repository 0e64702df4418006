# Empty dependencies file for lqm_core.
# This may be replaced when dependencies are built.
