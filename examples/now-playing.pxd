<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="RightToLeft" ScrollDelay="300"/>
			<Data Mode="Data" Name="Media.Title"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="RightToLeft" ScrollDelay="300"/>
			<Data Mode="Data" Name="Media.Artist"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="HorizontalBar" HBarMax="100"/>
			<Data Mode="Data" Name="Media.Progress"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="8" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Data" Name="Media.Status"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="8" Y="3" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Media.PositionText"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="3" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Media.LengthText"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
