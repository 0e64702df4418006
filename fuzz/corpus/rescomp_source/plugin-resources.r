# The plugin's main resource file (Windows64/VarnelFolioforge.rsr, and
# Resources/VarnelFolioforge.rsrc for macOS). Compiled by lqm-rescomp at
# build time; 1.0.0 comes from the CMake project version.

resource "vers" 1 version {
  number 1.0.0
  stage final
  region 0
  short "1.0.0"
  long "VarnelFolioforge 1.0.0, print-to-document support for 4D"
}

# Item 1 is the information string (LQM_GetInfoString).
resource "STR#" 20015 strings {
  "VarnelFolioforge 1.0.0: document formats, print sessions and data codecs for 4D"
  "https://varnelfolioforge.example/support"
}

# Four localized strings (LQM_GetString1..4), handed back byte for byte.
resource "STR#" 20013 strings {
  "Print to document"
  "Preparing document…"
  "The document could not be written."
  "Document saved."
}

# Display names of the output formats, by the catalogue's name ids.
resource "STR " 21202 string "PDF document"
resource "STR " 21209 string "SVG drawing"
resource "STR " 21224 string "JPEG image"
resource "STR " 21227 string "TIFF image"
resource "STR " 21228 string "GIF image"
resource "STR " 21229 string "PNG image"

# Labels of the three format families.
resource "STR " 21281 string "PDF"
resource "STR " 21282 string "Vector drawing"
resource "STR " 21283 string "Bitmap image"

# Data blocks (LQM_GetDataBlob1..4): page set-up defaults for the 4D code,
# as "key=value" lines in UTF-8, one block per concern (docs/resources.md).
resource "xpdt" 20014 utf8 "paper=A4\nwidth_pt=595\nheight_pt=842\norientation=portrait\n"
resource "xpdt" 20015 utf8 "margin_top_pt=36\nmargin_left_pt=36\nmargin_bottom_pt=36\nmargin_right_pt=36\n"
resource "xpdt" 20016 utf8 "resolution_dpi=300\ncolor=rgb\nbits_per_sample=8\n"
resource "xpdt" 20017 utf8 "default_format=1300\nspool_prefix=lqm_\nmax_pages=9999\n"

# The plugin's licence notice, sealed in the envelope (Base64 form) with the
# plugin's own key; LQM_GetSealedText opens it.
resource "TEXT" 20601 sealed "583914_27" utf8 "VarnelFolioforge 1.0.0. Licensed for use inside 4D applications by their developers; redistribution of the bundle is allowed unchanged."
