//%attributes = {}
// Opening a print session and naming its slots.
// The print layer's 4D code first puts its two folders into interprocess
// text variables; the plugin reads them when the session opens. The session
// key becomes part of every slot name. Returns what the calls gave in an
// object.
//
// Results:
//   open = 1 (before any session, LQM_GetSlotName(0) = "")
//   LQM_SetSlotText(0; "Page 1 of 3") = 1, LQM_SetSlotText(1; "Customer copy") = 1
//   slot names: "0_Invoice_LQM", "1_Invoice_LQM" ... "9_Invoice_LQM"
//   LQM_GetSlotText(0) = "Page 1 of 3"
//   LQM_SetSlotText(10; ...) = 0 (slots are 0 to 9)
//   LQM_GetFolderName(LQM Spool folder) = "Spool"

#DECLARE()->$result : Object

C_TEXT(<>vxPrintRootDirectoryPath; <>vxPrintSpoolDirectoryPath)  // interprocess: read by the plugin
var $open; $slot : Integer
ARRAY TEXT($slotNames; 10)

<>vxPrintRootDirectoryPath:="C:\\Print\\"
<>vxPrintSpoolDirectoryPath:="C:\\Print\\Spool\\"

$result:=New object
$open:=LQM_OpenPrintSession("VarnelLQM 61QTR04"; "Invoice"; "")
$result.open:=$open
If ($open=1)
	$result.stored0:=LQM_SetSlotText(0; "Page 1 of 3")
	$result.stored1:=LQM_SetSlotText(1; "Customer copy")
	For ($slot; 0; 9)
		$slotNames{$slot+1}:=LQM_GetSlotName($slot)
	End for
	$result.slotName0:=$slotNames{1}
	$result.slotName1:=$slotNames{2}
	$result.slotName9:=$slotNames{10}
	$result.slotText0:=LQM_GetSlotText(0)
	$result.stored10:=LQM_SetSlotText(10; "nowhere")
	$result.spoolFolder:=LQM_GetFolderName(LQM Spool folder)
Else
	ALERT("The print session could not be opened: check the access code and the two folder variables.")
End if
