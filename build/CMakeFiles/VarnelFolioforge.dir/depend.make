# Empty dependencies file for VarnelFolioforge.
# This may be replaced when dependencies are built.
