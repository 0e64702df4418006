//%attributes = {}
// Listing the output formats into arrays for a pop-up menu.
// LQM_ListOutputFormats fills parallel arrays, one element per format, so the
// names array can be a pop-up menu's array and the codes array tells which
// format was chosen. Arrays you do not need may be left undefined (here in
// the second call). Returns the arrays as JSON texts in an object.
//
// Results, with the plugin's English resources:
//   atFormatNames = "PDF document"; "SVG drawing"; "JPEG image"; "TIFF image";
//                   "TIFF image"; "GIF image"; "PNG image"
//   alFormatCodes = 1300; 247; 10; 3; 17; 2; 75
//   $extensions   = "pdf"; "svg"; "jpg"; "tif"; "tif"; "gif"; "png"
//   $depths       = ""; ""; "24"; "24"; "24"; "8"; "32"
//   $aux          = -32767 everywhere, except 3 for the LZW TIFF (code 17)
//   LQM bitmap family only: 5 elements, codes 10; 3; 17; 2; 75
//   $labels       = "PDF"; "Vector drawing"; "Bitmap image"
//   LQM_GetFormatNames on codes 17; -1000; 75 gives "TIFF image"; ""; "PNG image"
//   LQM_GetFormatExtension(LQM LZW TIFF format) = "tif",
//   LQM_GetFormatFamily(LQM LZW TIFF format) = 3 (LQM bitmap family)

#DECLARE()->$result : Object

var $u1; $u2; $u3 : Variant  // never given a value: undefined, and the plugin skips them

ARRAY LONGINT(alFormatCodes; 0)
ARRAY TEXT(atFormatNames; 0)
ARRAY TEXT($extensions; 0)
ARRAY TEXT($depths; 0)
ARRAY TEXT($options; 0)
ARRAY LONGINT($aux; 0)
LQM_ListOutputFormats(LQM all families; alFormatCodes; $extensions; atFormatNames; $depths; $options; $aux)
atFormatNames:=1  // the pop-up shows "PDF document" first

// In the pop-up's object method, the chosen format:
//   $code:=alFormatCodes{atFormatNames}
//   $file:="Report."+LQM_GetFormatExtension($code)

// Bitmap formats only (family 3), without the optional arrays.
ARRAY LONGINT($bitmapCodes; 0)
ARRAY TEXT($bitmapExtensions; 0)
ARRAY TEXT($bitmapNames; 0)
LQM_ListOutputFormats(LQM bitmap family; $bitmapCodes; $bitmapExtensions; $bitmapNames; $u1; $u2; $u3)

// Family labels, for a first pop-up that picks the family:
ARRAY TEXT($labels; 0)
LQM_GetFormatLabels($labels)

// Names of single formats; an unknown code gets an empty name.
ARRAY LONGINT($someCodes; 3)
$someCodes{1}:=17
$someCodes{2}:=-1000
$someCodes{3}:=75
ARRAY TEXT($someNames; 0)
LQM_GetFormatNames($someCodes; $someNames)

$result:=New object
$result.names:=JSON Stringify array(atFormatNames)
$result.codes:=JSON Stringify array(alFormatCodes)
$result.extensions:=JSON Stringify array($extensions)
$result.depths:=JSON Stringify array($depths)
$result.aux:=JSON Stringify array($aux)
$result.bitmapCodes:=JSON Stringify array($bitmapCodes)
$result.labels:=JSON Stringify array($labels)
$result.someNames:=JSON Stringify array($someNames)
$result.extension17:=LQM_GetFormatExtension(LQM LZW TIFF format)
$result.family17:=LQM_GetFormatFamily(LQM LZW TIFF format)
