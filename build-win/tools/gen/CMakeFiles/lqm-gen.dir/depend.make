# Empty dependencies file for lqm-gen.
# This may be replaced when dependencies are built.
