# Empty custom commands generated dependencies file for lqm_bundle.
# This may be replaced when dependencies are built.
