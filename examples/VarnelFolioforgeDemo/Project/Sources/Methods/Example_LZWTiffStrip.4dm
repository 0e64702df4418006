//%attributes = {}
// Compressing a strip of pixels for a TIFF, and reading it back.
// TIFF's LZW (compression 5) is LQM_LZWCodec with clear codes written first
// and the end code written last (LQM LZW clear codes written, LQM LZW end
// code written), 8-bit roots (-1) and
// codes of at most 12 bits. LQM LZW predictor compress applies TIFF's horizontal predictor
// (predictor 2) first: each byte becomes its difference from the same sample
// of the pixel before it in the row. Expanding gives the differences back, so
// the reader adds them up again. Returns the BLOBs in an object.
//
// Results, for a strip of 2 rows of 4 RGB pixels (10,20,30) (12,22,32)
// (14,24,34) (16,26,36):
//   strip       = 15 bytes: 80 02 82 81 E0 14 16 0D 06 81 41 20 F0 78 08
//                 (the same bytes as LQM LZW compress on the differenced pixels)
//   differences = 24 bytes: 10 20 30 2 2 2 2 2 2 2 2 2, twice
//   pixels      = the 24 bytes of the strip again, after the predictor is undone
//   plain       = 23 bytes: the same strip without the predictor (LQM LZW compress)

#DECLARE()->$result : Object

var $pixels; $strip; $expanded : Blob
var $width; $samples; $row; $column; $rowStart : Integer

$width:=4  // pixels per row
$samples:=3  // bytes per pixel (RGB)
SET BLOB SIZE($pixels; 24)
For ($row; 0; 1)
	$rowStart:=$row*$width*$samples
	For ($column; 0; $width-1)
		$pixels{$rowStart+($column*$samples)}:=10+(2*$column)
		$pixels{$rowStart+($column*$samples)+1}:=20+(2*$column)
		$pixels{$rowStart+($column*$samples)+2}:=30+(2*$column)
	End for
End for

$result:=New object

// Compress: the BLOB $strip is what goes into the TIFF's StripOffsets.
$strip:=LQM_LZWCodec(LQM LZW predictor compress; $pixels; LQM LZW clear codes written; LQM LZW end code written; $width; $samples; -1; 12)
$result.strip:=$strip

// Read back: expand with the same settings, then undo the predictor.
$expanded:=LQM_LZWCodec(LQM LZW expand; $strip; LQM LZW clear codes written; LQM LZW end code written; 0; 0; -1; 12)
$result.differences:=$expanded
For ($row; 0; (BLOB size($expanded)/($width*$samples))-1)
	$rowStart:=$row*$width*$samples
	For ($column; $samples; ($width*$samples)-1)
		$expanded{$rowStart+$column}:=($expanded{$rowStart+$column}+$expanded{$rowStart+$column-$samples})%256
	End for
End for
$result.pixels:=$expanded  // the same bytes as $pixels

$result.plain:=LQM_LZWCodec(LQM LZW compress; $pixels; LQM LZW clear codes written; LQM LZW end code written; $width; $samples; -1; 12)
