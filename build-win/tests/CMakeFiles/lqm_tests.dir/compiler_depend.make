# Empty compiler generated dependencies file for lqm_tests.
# This may be replaced when dependencies are built.
